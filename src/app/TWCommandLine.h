#pragma once
// The desktop app's command line: `twinsift [OPTION...] [FOLDER...]`. Parsing needs no
// display, so --help and --version answer without one. Safe from any thread.

#include <QString>
#include <QStringList>

class TWCommandLine {
public:
    enum class Action { run, help, version, usageError };

    Action action = Action::run;
    // The folders to add, as absolute clean paths, in the given order, no path twice.
    QStringList folders;
    // What was given but is no folder (a file, a missing path), as given, with a
    // one-line reason each ("x.txt is not a folder"), for a notice.
    QStringList ignored;
    // For usageError: what was wrong ("unknown option --foo"), and the option.
    QString error;
    QString badOption;

    // Parses the arguments after the program name; relative paths are taken against
    // `workingFolder`. Options end at "--".
    static TWCommandLine parse(const QStringList& arguments, const QString& workingFolder);

    static QString helpText();
    static QString versionText();
    // The notice shown for `ignored` ("Not added: ..."), empty when nothing was ignored.
    QString ignoredNotice() const;
};
