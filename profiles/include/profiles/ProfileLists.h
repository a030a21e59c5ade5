#pragma once

// The five lists a profile may carry: sizes, frame rates, sample rates,
// audio bit rates and channel layouts. Positions are 0-based among the
// list's own entries.

#include <string>
#include <string_view>

#include "profiles/ProfileElement.h"

namespace profiles {

// <SupportedSizes AllowOrg= AllowCustom=><SupportedSize>320x240</SupportedSize>...
class TXMLSupportedSizesType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;
    int AllowOrg() const { return Integer("AllowOrg"); }
    void SetAllowOrg(int v) { SetInteger("AllowOrg", v); }
    int AllowCustom() const { return Integer("AllowCustom"); }
    void SetAllowCustom(int v) { SetInteger("AllowCustom", v); }
    int Count() const { return TXMLElement::Count(kItem); }
    std::string Item(int index) const { return ContentOf(Child(kItem, index)); }
    void Add(std::string_view size) { SetContent(Append(kItem), size); }
    bool Insert(int index, std::string_view size);
    bool Remove(int index) { return TXMLElement::Remove(kItem, index); }

private:
    static constexpr const char* kItem = "SupportedSize";
};

// <SupportedFPSS AllowOrg= AllowCustom=><SupportedFPS>29.97</SupportedFPS>...
class TXMLSupportedFPSSType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;
    int AllowOrg() const { return Integer("AllowOrg"); }
    void SetAllowOrg(int v) { SetInteger("AllowOrg", v); }
    int AllowCustom() const { return Integer("AllowCustom"); }
    void SetAllowCustom(int v) { SetInteger("AllowCustom", v); }
    int Count() const { return TXMLElement::Count(kItem); }
    double Item(int index) const;   // 0 when the entry is not a number
    void Add(double fps);
    bool Insert(int index, double fps);
    bool Remove(int index) { return TXMLElement::Remove(kItem, index); }

private:
    static constexpr const char* kItem = "SupportedFPS";
};

// A list of whole numbers, each entry an element of the same name.
class TXMLIntegerList : public TXMLElement {
public:
    int Count() const { return TXMLElement::Count(item_); }
    int Item(int index) const { return ToInt(ContentOf(Child(item_, index))); }   // 0 when not a number
    void Add(int value) { SetContent(Append(item_), std::to_string(value)); }
    bool Insert(int index, int value);
    bool Remove(int index) { return TXMLElement::Remove(item_, index); }

protected:
    TXMLIntegerList(tinyxml2::XMLElement* e, const char* item) : TXMLElement(e), item_(item) {}

private:
    const char* item_;
};

// <SupportedSampleRates><SupportedSample>44100</SupportedSample>...
class TXMLSupportedSampleRatesType : public TXMLIntegerList {
public:
    explicit TXMLSupportedSampleRatesType(tinyxml2::XMLElement* e = nullptr) : TXMLIntegerList(e, "SupportedSample") {}
};

// <SupportedAudioBitRates><SupportedAudioBitRate>128000</SupportedAudioBitRate>...
class TXMLSupportedAudioBitRatesType : public TXMLIntegerList {
public:
    explicit TXMLSupportedAudioBitRatesType(tinyxml2::XMLElement* e = nullptr)
        : TXMLIntegerList(e, "SupportedAudioBitRate") {}
};

// <SupportedChannel Caption="mono"/>
class TXMLSupportedChannelType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;
    std::string Caption() const { return Text("Caption"); }
    void SetCaption(std::string_view v) { SetText("Caption", v); }
    // 1 for "mono", 2 for "stereo" (any case), 0 for anything else.
    int ChannelCount() const;
};

// <SupportedChannels><SupportedChannel Caption="mono"/>...
class TXMLSupportedChannelsType : public TXMLElement {
public:
    using TXMLElement::TXMLElement;
    int Count() const { return TXMLElement::Count(kItem); }
    TXMLSupportedChannelType Item(int index) const { return TXMLSupportedChannelType(Child(kItem, index)); }
    TXMLSupportedChannelType Add(std::string_view caption);
    TXMLSupportedChannelType Insert(int index, std::string_view caption);   // null when out of range
    bool Remove(int index) { return TXMLElement::Remove(kItem, index); }

private:
    static constexpr const char* kItem = "SupportedChannel";
};

}  // namespace profiles
