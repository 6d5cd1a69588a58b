#include "ui/shell/DesktopServices.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QUrl>

#include "platform/PathText.h"

namespace tamrel {

std::optional<std::string> DesktopServices::chooseFolder(const QString& prompt,
                                                         const QString& message) {
    QFileDialog dialog(window_, message);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setLabelText(QFileDialog::Accept, prompt);
    dialog.setDirectory(QDir::home());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    const QByteArray bytes = QFile::encodeName(chosen.first());
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray DesktopServices::fileUri(const std::string& path) {
    const QByteArray raw(path.data(), static_cast<qsizetype>(path.size()));
    return QByteArrayLiteral("file://") + raw.toPercentEncoding("/");
}

std::string DesktopServices::parentOf(const std::string& path) {
    return parentPath(path);
}

bool DesktopServices::reveal(const std::string& path) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QString::fromLatin1(fileUri(path))} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    // No file manager answers on the bus: show the folder that holds the item instead.
    return QDesktopServices::openUrl(QUrl::fromEncoded(fileUri(parentOf(path))));
}

bool DesktopServices::open(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromEncoded(fileUri(path)));
}

bool DesktopServices::copyText(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) return false;
    clipboard->clear();
    clipboard->setText(text);
    return true;
}

}  // namespace tamrel
