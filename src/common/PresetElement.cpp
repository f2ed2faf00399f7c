#include "common/PresetElement.h"

#include "text/StringHelper.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

PresetElement::PresetElement (const std::string& tagName)
    : tag (tagName)
{
}

PresetElement::PresetElement (const PresetElement& other)
    : tag (other.tag)
{
    // Level by level with a work list, so that the depth of a tree never meets the stack's.
    try
    {
        std::vector<std::pair<const PresetElement*, PresetElement*>> work { { &other, this } };

        while (! work.empty())
        {
            const auto [source, target] = work.back();
            work.pop_back();
            target->CopyAttributesFrom (*source);
            PresetElement** tail = &target->firstChild;

            for (const PresetElement* child = source->firstChild; child != nullptr; child = child->next)
            {
                *tail = new PresetElement (child->tag);
                work.emplace_back (child, *tail);
                tail = &(*tail)->next;
            }
        }
    }
    catch (...)
    {
        DeleteAllChildElements();
        deleteAllAttributes();
        throw;
    }
}

PresetElement& PresetElement::operator= (const PresetElement& other)
{
    if (this != &other)
    {
        PresetElement copy (other);
        std::swap (firstChild, copy.firstChild);
        std::swap (firstAttribute, copy.firstAttribute);
        std::swap (tag, copy.tag);
    }

    return *this;
}

PresetElement::~PresetElement()
{
    DeleteAllChildElements();
    deleteAllAttributes();
}

PresetElement::AttributeNode* PresetElement::findAttribute (const std::string& name) const noexcept
{
    for (auto* node = firstAttribute; node != nullptr; node = node->next)
        if (std::strcmp (node->name.c_str(), name.c_str()) == 0)
            return node;

    return nullptr;
}

bool PresetElement::HasAttribute (const std::string& name) const
{
    return findAttribute (name) != nullptr;
}

int PresetElement::GetIntAttribute (const std::string& name, int defaultValue) const
{
    const auto* node = findAttribute (name);
    return node != nullptr ? StringHelper::ToInt (node->value) : defaultValue;
}

std::string PresetElement::GetStringAttribute (const std::string& name, const std::string& defaultValue) const
{
    const auto* node = findAttribute (name);
    return node != nullptr ? node->value : defaultValue;
}

void PresetElement::SetAttribute (const std::string& name, const std::string& value)
{
    AttributeNode** tail = &firstAttribute;

    for (; *tail != nullptr; tail = &(*tail)->next)
    {
        if (std::strcmp ((*tail)->name.c_str(), name.c_str()) == 0)
        {
            (*tail)->value = value;
            return;
        }
    }

    *tail = new AttributeNode { nullptr, name, value };
}

void PresetElement::SetAttribute (const std::string& name, int value)
{
    SetAttribute (name, StringHelper::ToString (value));
}

void PresetElement::CopyAttributesFrom (const PresetElement& other)
{
    for (const auto* node = other.firstAttribute; node != nullptr; node = node->next)
        SetAttribute (node->name, node->value);
}

int PresetElement::GetNumChildElements() const noexcept
{
    int count = 0;

    for (const auto* child = firstChild; child != nullptr; child = child->next)
        ++count;

    return count;
}

PresetElement* PresetElement::GetChildElement (long index) const noexcept
{
    PresetElement* child = firstChild;

    for (long i = 0; i < index && child != nullptr; ++i)
        child = child->next;

    return child;
}

PresetElement* PresetElement::GetChildByName (const std::string& name) const
{
    for (auto* child = firstChild; child != nullptr; child = child->next)
        if (StringHelper::AreEqual (child->tag, name, true))
            return child;

    return nullptr;
}

void PresetElement::AddChildElement (PresetElement* newChild) noexcept
{
    if (newChild == nullptr)
        return;

    PresetElement** tail = &firstChild;

    while (*tail != nullptr)
        tail = &(*tail)->next;

    *tail = newChild;
}

void PresetElement::AddTextElement (const std::string& text)
{
    auto element = std::make_unique<PresetElement> (std::string());
    element->SetAttribute (textAttributeName, text);
    AddChildElement (element.release());
}

void PresetElement::DeleteAllChildElements() noexcept
{
    // Each element's children are spliced into the list still to be deleted before the
    // element goes, so no destructor ever recurses: neither long nor deep trees reach the stack.
    PresetElement* pending = firstChild;
    firstChild = nullptr;

    while (pending != nullptr)
    {
        PresetElement* element = pending;
        pending = element->next;

        if (element->firstChild != nullptr)
        {
            PresetElement* last = element->firstChild;

            while (last->next != nullptr)
                last = last->next;

            last->next = pending;
            pending = element->firstChild;
            element->firstChild = nullptr;
        }

        element->next = nullptr;
        delete element;
    }
}

void PresetElement::deleteAllAttributes() noexcept
{
    while (firstAttribute != nullptr)
        delete std::exchange (firstAttribute, firstAttribute->next);
}
