#include "profiles/ProfileLists.h"

#include <strings.h>

#include "profiles/ProfileNumbers.h"

namespace profiles {

bool TXMLSupportedSizesType::Insert(int index, std::string_view size) {
    tinyxml2::XMLElement* e = TXMLElement::Insert(kItem, index);
    SetContent(e, size);
    return e != nullptr;
}

double TXMLSupportedFPSSType::Item(int index) const {
    return ParseNumber(ContentOf(Child(kItem, index))).value_or(0.0);
}

void TXMLSupportedFPSSType::Add(double fps) { SetContent(Append(kItem), FormatNumber(fps)); }

bool TXMLSupportedFPSSType::Insert(int index, double fps) {
    tinyxml2::XMLElement* e = TXMLElement::Insert(kItem, index);
    SetContent(e, FormatNumber(fps));
    return e != nullptr;
}

bool TXMLIntegerList::Insert(int index, int value) {
    tinyxml2::XMLElement* e = TXMLElement::Insert(item_, index);
    SetContent(e, std::to_string(value));
    return e != nullptr;
}

int TXMLSupportedChannelType::ChannelCount() const {
    const std::string c = Caption();
    if (strcasecmp(c.c_str(), "mono") == 0) return 1;
    if (strcasecmp(c.c_str(), "stereo") == 0) return 2;
    return 0;
}

TXMLSupportedChannelType TXMLSupportedChannelsType::Add(std::string_view caption) {
    TXMLSupportedChannelType c(Append(kItem));
    c.SetCaption(caption);
    return c;
}

TXMLSupportedChannelType TXMLSupportedChannelsType::Insert(int index, std::string_view caption) {
    TXMLSupportedChannelType c(TXMLElement::Insert(kItem, index));
    c.SetCaption(caption);
    return c;
}

}  // namespace profiles
