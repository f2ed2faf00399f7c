#include "osc/OscInterface.h"

#include "text/StringHelper.h"

#include <utility>

namespace kul
{
namespace
{
bool isQuoteCharacter (char c) noexcept
{
    return c == '"' || c == '\'';
}

// A lone quote character is not a quoted text: it has no inside to keep.
std::string withSingleQuotes (const std::string& text)
{
    if (text.size() >= 2 && isQuoteCharacter (text.front()) && isQuoteCharacter (text.back()))
        return "'" + text.substr (1, text.size() - 2) + "'";

    return text;
}

PresetElement* findIndexedChild (PresetElement& parent, const std::string& tag, int index)
{
    for (auto* child = parent.GetFirstChildElement(); child != nullptr; child = child->GetNextElement())
        if (child->GetTagName() == tag && child->GetIntAttribute ("index", -1) == index)
            return child;

    return nullptr;
}

PresetElement* appendChild (PresetElement& parent, const std::string& tag)
{
    auto child = std::make_unique<PresetElement> (tag);
    auto* raw = child.get();
    parent.AddChildElement (child.release());
    return raw;
}

void addMessageToTree (PresetElement& root, const OSCMessage& message)
{
    const auto& components = message.address.GetComponents();
    PresetElement* node = &root;

    for (size_t i = 0; i < components.size(); ++i)
    {
        const auto& tag = components[i];

        if (i + 1 < components.size() && StringHelper::IsUnsignedInteger (components[i + 1]))
        {
            const int index = StringHelper::ToInt (components[i + 1]);
            auto* child = findIndexedChild (*node, tag, index);

            if (child == nullptr)
            {
                child = appendChild (*node, tag);
                child->SetAttribute ("index", index);
            }

            node = child;
            ++i;
        }
        else
        {
            auto* child = node->GetChildByName (tag);
            node = child != nullptr ? child : appendChild (*node, tag);
        }
    }

    node->AddTextElement (withSingleQuotes (message.GetArgumentsText()));
}

void addBundleToTree (PresetElement& root, const OSCBundle& bundle)
{
    for (const auto& element : bundle.elements)
    {
        if (element.IsBundle())
            addBundleToTree (root, element.GetBundle());
        else if (element.IsMessage())
            addMessageToTree (root, element.GetMessage());
    }
}
} // namespace

OscInterface::OscInterface() = default;
OscInterface::~OscInterface() = default;

bool OscInterface::ProcessOscMessage (const OSCMessage&, bool)
{
    return false;
}

OSCBundle OscInterface::GetStateAsOscBundle()
{
    return {};
}

std::unique_ptr<PresetElement> OscInterface::GetStateAsPresetTree()
{
    const auto bundle = GetStateAsOscBundle();
    PresetElement root ("preset");
    addBundleToTree (root, bundle);
    return std::make_unique<PresetElement> (root);
}

OscDocumentation::List OscInterface::GetOscDocumentation()
{
    OscDocumentation::List list;
    OscDocumentation::AddEntry (list, "/preset/load", "[string]", "loads a preset from file (.txt, .xml, .osc)");
    OscDocumentation::AddEntry (list, "/preset/export", "[string]", "exports a preset to file (.txt, .xml, .osc, .json)");
    return list;
}

bool OscInterface::ProcessPendingBundle (bool flag, bool blocking)
{
    OSCBundle taken;

    if (blocking)
    {
        const std::lock_guard<std::recursive_mutex> lock (pendingLock);
        taken = pendingBundle;
        pendingBundle.elements.Resize (0);
    }
    else
    {
        std::unique_lock<std::recursive_mutex> lock (pendingLock, std::try_to_lock);

        if (! lock.owns_lock())
            return true;

        taken.elements = std::move (pendingBundle.elements);
        taken.timeTag = pendingBundle.timeTag;
        pendingBundle.elements.Resize (0);
        pendingBundle.timeTag = OSCBundle::immediately;
    }

    if (taken.elements.IsEmpty())
        return true;

    return ProcessBundle (taken, flag);
}

bool OscInterface::ProcessBundle (const OSCBundle& bundle, bool flag)
{
    bool allHandled = true;

    for (const auto& element : bundle.elements)
    {
        if (element.IsBundle())
        {
            allHandled = ProcessBundle (element.GetBundle(), flag) && allHandled;
        }
        else
        {
            const auto& message = element.GetMessage();

            if (! ProcessOscMessage (message, flag))
            {
                Notify (message.ToString());
                allHandled = false;
            }
        }
    }

    return allHandled;
}

void OscInterface::AddPendingMessage (const OSCMessage& message)
{
    const std::lock_guard<std::recursive_mutex> lock (pendingLock);
    pendingBundle.AddElement (message);
}

void OscInterface::AddPendingBundle (const OSCBundle& bundle)
{
    const std::lock_guard<std::recursive_mutex> lock (pendingLock);
    pendingBundle.AddElement (bundle);
}

} // namespace kul
