#include "profiles/ProfileDocument.h"

#include <tinyxml2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace profiles {

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;

namespace {

constexpr const char* kRoot = "NewDataSet";
constexpr const char* kFormats = "ExportFormats";

tinyxml2::XMLNode* CloneInto(const TXMLExportFormatType& format, XMLElement* category) {
    if (!format || !category) return nullptr;
    return format.Element()->DeepClone(category->GetDocument());
}

}  // namespace

TXMLExportFormatType TXMLExportCategoryType::AddCopy(const TXMLExportFormatType& format) {
    tinyxml2::XMLNode* copy = CloneInto(format, element_);
    if (!copy) return TXMLExportFormatType();
    element_->InsertEndChild(copy);
    return TXMLExportFormatType(copy->ToElement());
}

TXMLExportFormatType TXMLExportCategoryType::InsertCopy(int index, const TXMLExportFormatType& format) {
    if (!format || !element_) return TXMLExportFormatType();
    // Make the slot first, then fill it with the copy's contents.
    XMLElement* slot = TXMLElement::Insert(kItem, index);
    if (!slot) return TXMLExportFormatType();
    tinyxml2::XMLNode* copy = CloneInto(format, element_);
    element_->InsertAfterChild(slot, copy);
    element_->DeleteChild(slot);
    return TXMLExportFormatType(copy->ToElement());
}

TXMLExportCategoryType TXMLExportFormatsType::Add(std::string_view caption) {
    TXMLExportCategoryType c(Append(kItem));
    c.SetCaption(caption);
    return c;
}

TXMLExportCategoryType TXMLExportFormatsType::Insert(int index, std::string_view caption) {
    TXMLExportCategoryType c(TXMLElement::Insert(kItem, index));
    c.SetCaption(caption);
    return c;
}

TXMLNewDataSetType::TXMLNewDataSetType() : doc_(std::make_unique<XMLDocument>()) { Reset(); }

TXMLNewDataSetType::~TXMLNewDataSetType() = default;

void TXMLNewDataSetType::Reset() {
    doc_->Clear();
    doc_->InsertEndChild(doc_->NewDeclaration());
    doc_->InsertEndChild(doc_->NewElement(kRoot))->InsertEndChild(doc_->NewElement(kFormats));
}

bool TXMLNewDataSetType::Adopt(int result, std::string* error) {
    std::string why;
    if (result != tinyxml2::XML_SUCCESS)
        why = doc_->ErrorStr();
    else if (!doc_->RootElement() || std::strcmp(doc_->RootElement()->Name(), kRoot) != 0)
        why = std::string("the document element is not <") + kRoot + ">";
    if (why.empty()) return true;
    if (error) *error = why;
    Reset();
    return false;
}

bool TXMLNewDataSetType::LoadFile(const std::string& path, std::string* error) {
    path_ = path;
    return Adopt(doc_->LoadFile(path.c_str()), error);
}

bool TXMLNewDataSetType::Parse(std::string_view text, std::string* error) {
    return Adopt(doc_->Parse(text.data(), text.size()), error);
}

std::string TXMLNewDataSetType::ToText() const {
    tinyxml2::XMLPrinter printer;
    doc_->Print(&printer);
    return std::string(printer.CStr(), static_cast<size_t>(printer.CStrSize() > 0 ? printer.CStrSize() - 1 : 0));
}

bool TXMLNewDataSetType::Save(std::string* error) {
    if (path_.empty()) {
        if (error) *error = "no file name";
        return false;
    }
    return SaveAs(path_, error);
}

bool TXMLNewDataSetType::SaveAs(const std::string& path, std::string* error) {
    const std::string text = ToText();
    std::string temp = path + ".XXXXXX";
    int why = 0;
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) why = errno;
    for (size_t done = 0; !why && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            why = errno;
    }
    if (!why && ::fsync(fd) != 0) why = errno;
    if (fd >= 0 && ::close(fd) != 0 && !why) why = errno;
    // mkstemp makes the file private; a profile file is an ordinary one.
    if (!why && ::chmod(temp.c_str(), 0644) != 0) why = errno;
    if (!why && std::rename(temp.c_str(), path.c_str()) != 0) why = errno;
    if (why) {
        if (fd >= 0) std::remove(temp.c_str());
        if (error) *error = std::strerror(why);
        return false;
    }
    path_ = path;
    return true;
}

TXMLExportFormatsType TXMLNewDataSetType::ExportFormats() const {
    XMLElement* root = doc_->RootElement();
    XMLElement* formats = root->FirstChildElement(kFormats);
    if (!formats) formats = root->InsertEndChild(doc_->NewElement(kFormats))->ToElement();
    return TXMLExportFormatsType(formats);
}

}  // namespace profiles
