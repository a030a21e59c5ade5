#pragma once

// The profile file: <NewDataSet><ExportFormats Language=><ExportCategory
// Caption=><ExportFormat .../>... The first category holds the user's own
// profiles; the others are built in.

#include <memory>
#include <string>
#include <string_view>

#include "profiles/ExportFormat.h"
#include "profiles/ProfileElement.h"

namespace tinyxml2 {
class XMLDocument;
}

namespace profiles {

class TXMLExportCategoryType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;
    std::string Caption() const { return Text("Caption"); }
    void SetCaption(std::string_view v) { SetText("Caption", v); }
    int Count() const { return TXMLElement::Count(kItem); }
    TXMLExportFormatType Item(int index) const { return TXMLExportFormatType(Child(kItem, index)); }
    TXMLExportFormatType Add() { return TXMLExportFormatType(Append(kItem)); }
    TXMLExportFormatType Insert(int index) { return TXMLExportFormatType(TXMLElement::Insert(kItem, index)); }
    // A deep copy of `format` (attributes and lists, from this document or
    // another), appended or put at index; the copy's handle, null when the
    // index is out of range or the source is null.
    TXMLExportFormatType AddCopy(const TXMLExportFormatType& format);
    TXMLExportFormatType InsertCopy(int index, const TXMLExportFormatType& format);
    bool Remove(int index) { return TXMLElement::Remove(kItem, index); }

private:
    static constexpr const char* kItem = "ExportFormat";
};

class TXMLExportFormatsType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;
    std::string Language() const { return Text("Language"); }
    void SetLanguage(std::string_view v) { SetText("Language", v); }
    int Count() const { return TXMLElement::Count(kItem); }
    TXMLExportCategoryType Item(int index) const { return TXMLExportCategoryType(Child(kItem, index)); }
    TXMLExportCategoryType Add(std::string_view caption);
    TXMLExportCategoryType Insert(int index, std::string_view caption);
    bool Remove(int index) { return TXMLElement::Remove(kItem, index); }

private:
    static constexpr const char* kItem = "ExportCategory";
};

// Owns the document; every handle above points into it.
class TXMLNewDataSetType {
public:
    TXMLNewDataSetType();   // an empty profile file
    ~TXMLNewDataSetType();
    TXMLNewDataSetType(const TXMLNewDataSetType&) = delete;
    TXMLNewDataSetType& operator=(const TXMLNewDataSetType&) = delete;

    // Replaces the document with the file's. On failure the document is
    // empty and error gets the reader's message. Path() becomes `path`
    // either way, so a later Save writes where the user's file belongs.
    bool LoadFile(const std::string& path, std::string* error = nullptr);
    bool Parse(std::string_view text, std::string* error = nullptr);
    // Writes the whole document to Path() / `path`. The text goes to a
    // temporary file beside the target that then replaces it, so a failed
    // write never leaves half a profile file behind.
    bool Save(std::string* error = nullptr);
    bool SaveAs(const std::string& path, std::string* error = nullptr);
    std::string ToText() const;
    const std::string& Path() const { return path_; }

    TXMLExportFormatsType ExportFormats() const;

private:
    void Reset();
    bool Adopt(int result, std::string* error);

    std::unique_ptr<tinyxml2::XMLDocument> doc_;
    std::string path_;
};

}  // namespace profiles
