#pragma once

#include <QWidget>

#include <array>
#include <optional>

class QLineEdit;

namespace zelt::client {

// An IPv4 address typed as four octets, each in a field of its own that takes digits only. The
// caret moves on to the next field after three digits or a dot, and back to the one before with
// Backspace in an empty field; a whole address pasted into any field fills all four.
class IpAddressEdit final : public QWidget {
    Q_OBJECT
public:
    using Address = std::array<std::optional<int>, 4>;

    explicit IpAddressEdit(QWidget* parent = nullptr);

    // A blank field is nullopt.
    Address address() const;
    void setAddress(const Address& address);
    QLineEdit* field(int index) const { return fields_[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int indexOf(QObject* field) const;
    void moveTo(int index, bool toEnd);
    bool pasteAddress(const QString& text);

    std::array<QLineEdit*, 4> fields_{};
};

}  // namespace zelt::client
