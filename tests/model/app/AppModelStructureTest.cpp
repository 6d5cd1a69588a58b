// Reads the sources: who writes each property of the model, and who includes whom.

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tamrel {
namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every header and source below `folder` of the source tree, by path.
std::map<fs::path, std::string> sources(const std::string& folder) {
    std::map<fs::path, std::string> found;
    for (const auto& entry :
         fs::recursive_directory_iterator(fs::path(TAMREL_SOURCE_DIR) / folder)) {
        const fs::path& p = entry.path();
        if (p.extension() == ".h" || p.extension() == ".cpp") found[p] = read(p);
    }
    return found;
}

TEST(AppModelStructure, EveryPropertyIsWrittenByTheControllerThatOwnsItAlone) {
    const std::string model = read(fs::path(TAMREL_SOURCE_DIR) / "model/app/AppModel.h");
    // The controllers the model composes, by member: "ShownIndex shown_;".
    std::map<std::string, std::string> typeOf;
    const std::regex member(R"(\n\s+([A-Z]\w+) (\w+_);)");
    for (std::sregex_iterator it(model.begin(), model.end(), member), end; it != end; ++it)
        typeOf[(*it)[2]] = (*it)[1];
    // The forwarded properties and their owners: "... phase = placed(shown_.phase);".
    std::map<std::string, std::string> owner;
    const std::regex forwarded(R"(&\s*(\w+)\s*=\s*placed\((\w+_)\.(\w+)\))");
    for (std::sregex_iterator it(model.begin(), model.end(), forwarded), end; it != end; ++it) {
        EXPECT_EQ((*it)[1], (*it)[3]);
        ASSERT_TRUE(typeOf.contains((*it)[2])) << (*it)[2];
        owner[(*it)[1]] = typeOf[(*it)[2]];
    }
    ASSERT_GE(owner.size(), 40u);

    // Writers, by the file stem that writes: "name.set(" or "name.edit(", also through a member.
    std::map<std::string, std::set<std::string>> writers;
    const std::regex write(R"(\b(\w+)\s*(\.|->)\s*(set|edit)\s*\()");
    for (const char* folder : {"model", "ui"}) {
        for (const auto& [path, text] : sources(folder)) {
            for (std::sregex_iterator it(text.begin(), text.end(), write), end; it != end; ++it) {
                if (owner.contains((*it)[1])) writers[(*it)[1]].insert(path.stem().string());
            }
        }
    }
    for (const auto& [name, type] : owner) {
        EXPECT_EQ(writers[name], std::set<std::string>{type})
            << name << " is written by " << ::testing::PrintToString(writers[name]);
    }
}

TEST(AppModelStructure, TheControllersReachEachOtherOneWayAndNeverTheModel) {
    // Who includes whom within model/app, by stem: a controller's header includes those it is
    // given.
    std::map<std::string, std::set<std::string>> uses;
    const std::regex include(R"(#include "model/app/(\w+)\.h")");
    for (const auto& [path, text] : sources("model/app")) {
        const std::string stem = path.stem().string();
        for (std::sregex_iterator it(text.begin(), text.end(), include), end; it != end; ++it) {
            if ((*it)[1] != stem) uses[stem].insert((*it)[1]);
        }
        EXPECT_TRUE(stem == "AppModel" || !uses[stem].contains("AppModel")) << stem;
    }
    for (const char* service : {"ModelContext", "Property", "ShownIndex", "Toasts"}) {
        for (const std::string& used : uses[service]) {
            EXPECT_TRUE(used == "ModelContext" || used == "Property" || used == "PropertyTypes" ||
                        used == "AppValues" || used == "AppModelOptions")
                << service << " uses " << used;
        }
    }
    // No loop: a depth-first walk never meets a stem on its own path.
    std::map<std::string, int> state;  // 1: on the path, 2: done
    std::vector<std::string> path;
    const std::function<void(const std::string&)> walk = [&](const std::string& stem) {
        state[stem] = 1;
        path.push_back(stem);
        for (const std::string& next : uses[stem]) {
            if (state[next] == 1) {
                ADD_FAILURE() << "loop: " << ::testing::PrintToString(path) << " -> " << next;
            } else if (state[next] == 0) {
                walk(next);
            }
        }
        path.pop_back();
        state[stem] = 2;
    };
    for (const auto& [stem, used] : uses) {
        if (state[stem] == 0) walk(stem);
    }
}

}  // namespace
}  // namespace tamrel
