#pragma once

#include <QByteArray>
#include <QString>
#include <string>

#include "model/system/Desktop.h"

class QWidget;

namespace tamrel {

// The desktop session's services for the model: the folder picker (QFileDialog), the file
// manager (D-Bus org.freedesktop.FileManager1.ShowItems, else the parent folder opened with its
// default application), the default application of a file (QDesktopServices) and the
// clipboard (QClipboard). Paths go out as file URIs built from their exact bytes, so a name
// that is not valid UTF-8 still reaches the right file. Main thread only; needs a QApplication.
class DesktopServices : public Desktop {
public:
    // `window` parents the folder picker; it may be null and may be set later.
    explicit DesktopServices(QWidget* window = nullptr) : window_(window) {}
    void setWindow(QWidget* window) { window_ = window; }

    std::optional<std::string> chooseFolder(const QString& prompt, const QString& message) override;
    bool reveal(const std::string& path) override;
    bool open(const std::string& path) override;
    bool copyText(const QString& text) override;

    // "file://" and the path's bytes, percent-encoded except for unreserved characters and "/".
    static QByteArray fileUri(const std::string& path);
    // The folder that holds `path` ("/" for a top-level entry and for "/").
    static std::string parentOf(const std::string& path);

private:
    QWidget* window_;
};

}  // namespace tamrel
