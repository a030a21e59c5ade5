#pragma once

// The base of the profile file's element classes: a non-owning handle on one
// element of a document owned by a TXMLNewDataSetType. Handles are cheap to
// copy and stay valid until their element is removed or the document freed.
// A default-made handle is null; reading through it gives empty values and
// writing through it does nothing.

#include <string>
#include <string_view>

namespace tinyxml2 {
class XMLElement;
}

namespace profiles {

class TXMLElement {
public:
    explicit TXMLElement(tinyxml2::XMLElement* element = nullptr) : element_(element) {}
    explicit operator bool() const { return element_ != nullptr; }
    tinyxml2::XMLElement* Element() const { return element_; }

protected:
    // Attributes. Integers and numbers read 0 when missing or not numbers;
    // numbers are written with ".".
    std::string Text(const char* name) const;
    void SetText(const char* name, std::string_view value);
    int Integer(const char* name) const;
    void SetInteger(const char* name, int value);
    double Number(const char* name) const;
    void SetNumber(const char* name, double value);

    // Child elements of one name, by position among themselves.
    int Count(const char* child) const;
    tinyxml2::XMLElement* Child(const char* child, int index) const;
    tinyxml2::XMLElement* Append(const char* child);
    // index == Count appends; null when index is out of range.
    tinyxml2::XMLElement* Insert(const char* child, int index);
    bool Remove(const char* child, int index);
    // The first child of that name, made when missing (null on a null handle).
    tinyxml2::XMLElement* Ensure(const char* child);
    void RemoveAll(const char* child);

    // The text content of a child (the list entries hold their value as text).
    static std::string ContentOf(const tinyxml2::XMLElement* e);
    static void SetContent(tinyxml2::XMLElement* e, std::string_view value);

    tinyxml2::XMLElement* element_;
};

// The text of a value as an int, 0 when it is not one (or does not fit).
int ToInt(std::string_view text);

}  // namespace profiles
