#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/system/Desktop.h"

namespace tamrel::test {

// Records what the model asks of the desktop and answers from its fields.
class FakeDesktop : public Desktop {
public:
    std::optional<std::string> picked;  // what the folder picker answers
    bool works = true;                  // whether reveal, open and copy succeed

    std::vector<std::pair<QString, QString>> pickers;  // prompt, message
    std::vector<std::string> revealed;
    std::vector<std::string> opened;
    std::vector<QString> copied;

    std::optional<std::string> chooseFolder(const QString& prompt,
                                            const QString& message) override {
        pickers.emplace_back(prompt, message);
        return picked;
    }
    bool reveal(const std::string& path) override {
        revealed.push_back(path);
        return works;
    }
    bool open(const std::string& path) override {
        opened.push_back(path);
        return works;
    }
    bool copyText(const QString& text) override {
        copied.push_back(text);
        return works;
    }
};

}  // namespace tamrel::test
