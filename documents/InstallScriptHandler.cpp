#include "documents/InstallScriptHandler.h"

#include <memory>

#include "documents/NumberText.h"

namespace {

struct CommandElement {
    const char* name;
    InstallItemType type;
};
const CommandElement kCommands[] = {
    {"execute", kInstallExecute}, {"extractFile", kInstallExtractFile}, {"unzip", kInstallUnzip},
    {"move", kInstallMove},       {"delete", kInstallDelete},           {"module", kInstallModule},
    {"classPath", kInstallClassPath},
};

bool IsTrue(const std::string& text) { return text == "TRUE" || text == "true" || text == "1"; }

// The text field an element fills, or null when it fills none.
std::string* TextField(InstallItem& item, const std::string& element) {
    if (element == "fileName") return &item.fileName;
    if (element == "src") return &item.src;
    if (element == "dest") return &item.dest;
    if (element == "value") return &item.value;
    if (element == "class") return &item.className;
    if (element == "parent") return &item.parent;
    if (element == "confFile") return &item.confFile;
    return nullptr;
}

bool* FlagField(InstallItem& item, const std::string& element) {
    if (element == "overwrite") return &item.overwrite;
    if (element == "exWin") return &item.exWin;
    if (element == "exUnix") return &item.exUnix;
    return nullptr;
}

}  // namespace

void InstallScriptHandler::startElement(const std::string&, const std::string&, const std::string& qualifiedName,
                                        const XmlAttributes*) {
    currentElement_ = qualifiedName;
    if (qualifiedName == "task") {
        auto item = std::make_unique<InstallItem>();
        item->owner = &installData_;
        currentItem_ = item.get();
        installData_.items.push_back(std::move(item));
        return;
    }
    if (!currentItem_) return;
    for (const CommandElement& command : kCommands) {
        if (qualifiedName == command.name) {
            currentItem_->type = command.type;
            return;
        }
    }
}

void InstallScriptHandler::characters(const std::string& text) {
    if (currentElement_ == "clientMsg") {
        message_ = text;
    } else if (currentElement_ == "fileID") {
        installData_.fileId = TextToInt(text);
    } else if (currentElement_ == "restart") {
        installData_.restart = IsTrue(text);
    } else if (currentItem_) {
        if (std::string* field = TextField(*currentItem_, currentElement_))
            *field = text;
        else if (bool* flag = FlagField(*currentItem_, currentElement_))
            *flag = IsTrue(text);
    }
}
