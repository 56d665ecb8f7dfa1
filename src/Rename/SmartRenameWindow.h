#pragma once

#include "LocalActions/Files/SmartRename.h"
#include "Rename/SmartRenameModel.h"

#include <QDialog>
#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>

class AIViewModel;
class QLabel;
class QPushButton;
class QVBoxLayout;

// One proposed rename: a check box, the current name, and the new name or why there is none.
// A click anywhere on the row toggles it.
class SmartRenameRow : public QWidget {
    Q_OBJECT
public:
    SmartRenameRow(const SmartRename::Candidate& candidate, std::function<void()> onToggle, QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::function<void()> m_onToggle;
};

// The content of the rename window: header, list or outcome, and the buttons; it follows the
// model and calls its operations.
class SmartRenameView : public QWidget {
    Q_OBJECT
public:
    SmartRenameView(SmartRenameModel& model, std::function<void()> onClose, QWidget* parent = nullptr);

private:
    void rebuild();

    SmartRenameModel& m_model;
    std::function<void()> m_onClose;
    QWidget* m_spinner = nullptr;
    QVBoxLayout* m_content = nullptr;
    QWidget* m_footer = nullptr;
};

// The one rename window of the process; each request replaces the previous window and model.
class SmartRenameWindow : public QObject {
    Q_OBJECT
public:
    explicit SmartRenameWindow(std::shared_ptr<FileOperations> files = FileOperations::standard(), QObject* parent = nullptr);
    ~SmartRenameWindow() override;

    void present(const QList<QUrl>& urls, AIViewModel& ai);
    void close();

    QDialog* window() const { return m_window; }
    SmartRenameModel* model() const { return m_model.get(); }

private:
    std::shared_ptr<FileOperations> m_files;
    QDialog* m_window = nullptr;
    std::shared_ptr<SmartRenameModel> m_model;
};
