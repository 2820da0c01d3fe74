#include "platform/Pickers.h"

#include "platform/DialogService.h"
#include "platform/UncPath.h"
#include "storage/PathText.h"
#include "storage/ProgramSettings.h"

#include <QStringList>

namespace tarvik {
namespace {

// "Zip Files (*.zip)" -> "Zip Files": Qt adds the patterns it really uses.
QString withoutPatternNote(const QString& description) {
    const QString trimmed = description.trimmed();
    if (trimmed.endsWith(u')')) {
        const qsizetype open = trimmed.lastIndexOf(u'(');
        if (open > 0)
            return trimmed.left(open).trimmed();
    }
    return trimmed;
}

} // namespace

QString QtFileFilter(const QString& filter) {
    QStringList parts = filter.split(u'|');
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        // A description without its pattern offers every file.
        const QString given = i + 1 < parts.size() ? parts[i + 1] : QString();
        QStringList patterns;
        for (const QString& pattern : given.split(u';', Qt::SkipEmptyParts)) {
            const QString p = pattern.trimmed();
            patterns.append(p == u"*.*" ? QStringLiteral("*") : p);
        }
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        out.append(withoutPatternNote(parts[i]) + QStringLiteral(" (") + patterns.join(u' ') +
                   u')');
    }
    return out.join(QStringLiteral(";;"));
}

QString PickOpenFile(DialogService& dialogs, QWidget* owner, const QString& filter,
                     const QString& title, const QString& startFolder) {
    return dialogs.chooseFile(owner, title, startFolder, QtFileFilter(filter)).trimmed();
}

QString PickFileRememberingOrNew(DialogService& dialogs, QWidget* owner, ProgramSettings& settings,
                                 const QString& filter, const QString& title) {
    const QString picked = TrimAtNul(
        dialogs.chooseFileOrNewName(owner, title, settings.lastFolder, QtFileFilter(filter))
            .trimmed());
    if (picked.isEmpty())
        return {};
    settings.lastFolder = FolderOfPath(picked);
    return ToUncPath(picked, settings.uncPaths);
}

QString PickFolder(DialogService& dialogs, QWidget* owner, const QString& title,
                   const QString& startFolder) {
    return dialogs.chooseFolder(owner, title, startFolder);
}

QString PickFileRemembering(DialogService& dialogs, QWidget* owner, ProgramSettings& settings,
                            const QString& filter, const QString& title) {
    const QString picked =
        TrimAtNul(PickOpenFile(dialogs, owner, filter, title, settings.lastFolder));
    if (picked.isEmpty())
        return {};
    settings.lastFolder = FolderOfPath(picked);
    return ToUncPath(picked, settings.uncPaths);
}

QString PickFolderRemembering(DialogService& dialogs, QWidget* owner, ProgramSettings& settings,
                              const QString& title) {
    const QString picked = PickFolder(dialogs, owner, title, settings.lastFolder);
    if (picked.isEmpty())
        return {};
    settings.lastFolder = picked;
    return ToUncPath(picked, settings.uncPaths);
}

} // namespace tarvik
