#include <tinyxml2.h>

#include "Tables.h"

namespace linguakit {

bool LoadLanguageFile(const std::string& path, Language& out) {
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) return false;
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root || std::string(root->Name()) != "language") return false;
    const char* name = root->Attribute("name");
    if (!name || !*name) return false;
    out.name = name;
    out.units.clear();
    for (auto* u = root->FirstChildElement("unit"); u; u = u->NextSiblingElement("unit")) {
        const char* unitName = u->Attribute("name");
        if (!unitName) continue;
        // A unit named twice merges: the later item of a name wins.
        linguakit_unit& unit = out.units[unitName];
        for (auto* i = u->FirstChildElement("item"); i; i = i->NextSiblingElement("item")) {
            const char* itemName = i->Attribute("name");
            if (!itemName) continue;
            linguakit_item& item = unit.items[itemName];
            item.attrs.clear();
            for (auto* a = i->FirstAttribute(); a; a = a->Next()) {
                if (std::string(a->Name()) != "name") item.attrs[a->Name()] = a->Value();
            }
        }
    }
    return true;
}

}  // namespace linguakit
