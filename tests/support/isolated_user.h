#pragma once

#include <QDir>
#include <QString>

// Points the user's settings, data (and so the Trash) and runtime folders into
// root, and makes widgets offscreen unless a display was asked for. Call before
// Qt or GIO read them: GIO reads XDG_DATA_HOME once per process.
inline void isolateUserFolders(const QString& root) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_DATA_HOME", QDir(root).filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(root).filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", root.toUtf8());
}
