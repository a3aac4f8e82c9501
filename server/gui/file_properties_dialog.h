#pragma once

#include <QDialog>

#include <functional>
#include <memory>

#include "server/core/admin/file_properties_model.h"

namespace zelt::server {

namespace Ui {
class FilePropertiesDialog;
}

// One member file: the groups that hold it, who has it checked out, its kept versions with
// their details, and the two actions on it. Modeless, any number at once; each draws its own
// model and frees itself when closed.
class FilePropertiesDialog final : public QDialog {
    Q_OBJECT
public:
    // Told once, when the window closes, that its model is no longer drawn.
    using Closed = std::function<void(const FilePropertiesModel* model)>;

    FilePropertiesDialog(FilePropertiesModel& model, Closed closed, QWidget* parent = nullptr);
    ~FilePropertiesDialog() override;

    // The model drawn, or nullptr once the window has closed.
    const FilePropertiesModel* model() const { return model_; }

private:
    void draw();
    void drawSelection();
    void release();
    // Runs a button's work on the model, with boxes it opens over this window, and redraws.
    void onModel(const std::function<void(FilePropertiesModel&)>& work);

    std::unique_ptr<Ui::FilePropertiesDialog> ui_;
    FilePropertiesModel* model_;
    Closed closed_;
};

}  // namespace zelt::server
