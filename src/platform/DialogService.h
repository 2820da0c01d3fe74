#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace tarvik {

// The title of every message box.
inline constexpr char16_t kDialogTitle[] = u"Tarvik";

enum class MessageIcon { None, Information, Exclamation, Question, Critical };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // Must be one of `buttons`; the answer Enter gives.
    MessageAnswer defaultButton = MessageAnswer::Ok;
};

// Every message box, question and input box of the windows goes through one
// of these, so the conventions live in one place and tests can answer
// dialogs without a modal loop.
class DialogService {
public:
    virtual ~DialogService();

    // A modal message box titled "Tarvik". Closing it without a button gives
    // the answer of its escape button (Cancel or No; Ok for a lone Ok).
    virtual MessageAnswer showMessage(QWidget* parent, const MessageRequest& request) = 0;

    // A modal input box. An empty title means "Tarvik". Nothing when cancelled.
    virtual std::optional<QString> askText(QWidget* parent, const QString& prompt,
                                           const QString& title, const QString& defaultText) = 0;

    // The system beep.
    virtual void beep() = 0;

    // The open-file dialog for one existing file, starting in `startFolder`,
    // offering `qtFilter` (Qt's "Description (patterns)" form). Empty when
    // cancelled. Callers go through PickOpenFile.
    virtual QString chooseFile(QWidget* parent, const QString& title, const QString& startFolder,
                               const QString& qtFilter) = 0;
    // The file dialog for a file that need not exist yet: an existing file,
    // or a new name typed in a folder. Scripted services answer it as a
    // chooseFile. Callers go through PickFileRememberingOrNew.
    virtual QString chooseFileOrNewName(QWidget* parent, const QString& title,
                                        const QString& startFolder, const QString& qtFilter) {
        return chooseFile(parent, title, startFolder, qtFilter);
    }
    // The folder browser, starting at `startFolder`. Empty when cancelled.
    // Callers go through PickFolder.
    virtual QString chooseFolder(QWidget* parent, const QString& title,
                                 const QString& startFolder) = 0;

    // An error report: the beep, then the text with the exclamation icon and OK.
    void reportError(QWidget* parent, const QString& text);
    // A question with Yes and No, No the default; true only for Yes.
    bool confirm(QWidget* parent, const QString& text);
    // A plain notice with the information icon and OK.
    void inform(QWidget* parent, const QString& text);
};

} // namespace tarvik
