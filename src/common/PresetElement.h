#pragma once

#include <string>

/** A small in-memory element tree: a tag, attributes (name/value texts, names unique),
    child elements, and text elements (children with an empty tag whose "text" attribute
    holds the text). Children and attributes are kept in insertion order; an element owns
    its children and attributes. */
class PresetElement
{
public:
    /** Name of the attribute that holds the text of a text element. */
    static constexpr const char* textAttributeName = "text";

    struct AttributeNode
    {
        AttributeNode* next = nullptr;
        std::string name;
        std::string value;
    };

    explicit PresetElement (const std::string& tagName);

    /** Deep copy of tag, attributes and subtree; the copy stands alone (no next sibling). */
    PresetElement (const PresetElement& other);

    /** Deep copy of tag, attributes and subtree; this element keeps its own place among its siblings. */
    PresetElement& operator= (const PresetElement& other);

    ~PresetElement();

    const std::string& GetTagName() const noexcept { return tag; }
    PresetElement* GetNextElement() const noexcept { return next; }
    PresetElement* GetFirstChildElement() const noexcept { return firstChild; }
    const AttributeNode* GetFirstAttribute() const noexcept { return firstAttribute; }

    /** Attribute names compare exactly, and only up to a zero byte. */
    bool HasAttribute (const std::string& name) const;
    int GetIntAttribute (const std::string& name, int defaultValue) const;
    std::string GetStringAttribute (const std::string& name, const std::string& defaultValue = {}) const;
    void SetAttribute (const std::string& name, const std::string& value);
    void SetAttribute (const std::string& name, int value);

    /** Sets every attribute of the other element on this one, in the other's order. */
    void CopyAttributesFrom (const PresetElement& other);

    int GetNumChildElements() const noexcept;

    /** The child at the index; an index below 1 gives the first child, one past the end null. */
    PresetElement* GetChildElement (long index) const noexcept;

    /** The first child whose tag equals the name, ignoring case; null when none. */
    PresetElement* GetChildByName (const std::string& name) const;

    /** Appends the element, whose ownership passes to this one; null is ignored. */
    void AddChildElement (PresetElement* newChild) noexcept;

    /** Appends a text element holding the text. */
    void AddTextElement (const std::string& text);

    void DeleteAllChildElements() noexcept;

private:
    AttributeNode* findAttribute (const std::string& name) const noexcept;
    void deleteAllAttributes() noexcept;

    PresetElement* next = nullptr;
    PresetElement* firstChild = nullptr;
    AttributeNode* firstAttribute = nullptr;
    std::string tag;
};
