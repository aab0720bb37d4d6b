#include "ui/skin_engine.h"

#include "platform/failure.h"

#include <QApplication>
#include <QFile>
#include <QStringDecoder>
#include <QWidget>

void SkinEngine::LoadSkin(const QString& path, const QString&) {
    ++calls;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The skin %1 cannot be read").arg(path));
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString sheet = utf8(bytes);
    if (utf8.hasError() || bytes.contains('\0') || !sheet.contains(QLatin1Char('{')))
        throw Failure(QStringLiteral("The skin %1 is not a style sheet").arg(path));
    sheet_ = sheet;
}

void SkinEngine::ApplyWindow(QWidget& window) {
    ++calls;
    if (Options & 1)
        qApp->setStyleSheet(sheet_);
    else
        window.setStyleSheet(sheet_);
}
