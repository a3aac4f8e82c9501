#include "common/gui/text_codec.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace zelt::gui {

QString toQt(std::string_view bytes) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) return text;
    return QString::fromLatin1(view);
}

std::string toBytes(const QString& text, std::size_t maxBytes) {
    const QByteArray utf8 = text.toUtf8();
    std::size_t size = static_cast<std::size_t>(utf8.size());
    if (size > maxBytes) {
        size = maxBytes;
        // Step back over continuation bytes to the start of the character that did not fit.
        while (size > 0 &&
               (static_cast<unsigned char>(utf8[static_cast<qsizetype>(size)]) & 0xC0) == 0x80) {
            --size;
        }
    }
    return std::string(utf8.constData(), size);
}

}  // namespace zelt::gui
