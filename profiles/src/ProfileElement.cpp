#include "profiles/ProfileElement.h"

#include <tinyxml2.h>

#include <limits>

#include "profiles/ProfileNumbers.h"

namespace profiles {

using tinyxml2::XMLElement;

int ToInt(std::string_view text) {
    const auto v = ParseInteger(text);
    if (!v || *v < std::numeric_limits<int>::min() || *v > std::numeric_limits<int>::max()) return 0;
    return static_cast<int>(*v);
}

std::string TXMLElement::Text(const char* name) const {
    const char* v = element_ ? element_->Attribute(name) : nullptr;
    return v ? v : "";
}

void TXMLElement::SetText(const char* name, std::string_view value) {
    if (element_) element_->SetAttribute(name, std::string(value).c_str());
}

int TXMLElement::Integer(const char* name) const { return ToInt(Text(name)); }

void TXMLElement::SetInteger(const char* name, int value) { SetText(name, std::to_string(value)); }

double TXMLElement::Number(const char* name) const { return ParseNumber(Text(name)).value_or(0.0); }

void TXMLElement::SetNumber(const char* name, double value) { SetText(name, FormatNumber(value)); }

int TXMLElement::Count(const char* child) const {
    int n = 0;
    for (const XMLElement* c = element_ ? element_->FirstChildElement(child) : nullptr; c;
         c = c->NextSiblingElement(child))
        ++n;
    return n;
}

XMLElement* TXMLElement::Child(const char* child, int index) const {
    if (!element_ || index < 0) return nullptr;
    XMLElement* c = element_->FirstChildElement(child);
    for (; c && index > 0; --index) c = c->NextSiblingElement(child);
    return c;
}

XMLElement* TXMLElement::Append(const char* child) {
    if (!element_) return nullptr;
    XMLElement* made = element_->GetDocument()->NewElement(child);
    element_->InsertEndChild(made);
    return made;
}

XMLElement* TXMLElement::Insert(const char* child, int index) {
    if (!element_ || index < 0 || index > Count(child)) return nullptr;
    XMLElement* before = Child(child, index);
    if (!before) return Append(child);
    XMLElement* made = element_->GetDocument()->NewElement(child);
    // Put it right before the element now at that position, so other kinds
    // of children keep their places.
    if (tinyxml2::XMLNode* prev = before->PreviousSibling())
        element_->InsertAfterChild(prev, made);
    else
        element_->InsertFirstChild(made);
    return made;
}

bool TXMLElement::Remove(const char* child, int index) {
    XMLElement* c = Child(child, index);
    if (!c) return false;
    element_->DeleteChild(c);
    return true;
}

XMLElement* TXMLElement::Ensure(const char* child) {
    if (!element_) return nullptr;
    if (XMLElement* c = element_->FirstChildElement(child)) return c;
    return Append(child);
}

void TXMLElement::RemoveAll(const char* child) {
    while (XMLElement* c = element_ ? element_->FirstChildElement(child) : nullptr) element_->DeleteChild(c);
}

std::string TXMLElement::ContentOf(const XMLElement* e) {
    const char* t = e ? e->GetText() : nullptr;
    return t ? t : "";
}

void TXMLElement::SetContent(XMLElement* e, std::string_view value) {
    if (e) e->SetText(std::string(value).c_str());
}

}  // namespace profiles
