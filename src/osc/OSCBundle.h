#pragma once

#include "math/Vector.h"
#include "osc/OSCMessage.h"

#include <cstdint>
#include <memory>

namespace kul
{

/** An ordered list of messages and nested bundles with an OSC time tag
    (1 meaning "immediately"). Copies are deep and keep the time tag. */
class OSCBundle
{
public:
    /** Carries either a message or a nested bundle; it owns what it carries. */
    class Element
    {
    public:
        Element() noexcept;
        explicit Element (const OSCMessage& message);
        explicit Element (const OSCBundle& bundle);
        Element (const Element& other);
        Element (Element&& other) noexcept;
        Element& operator= (const Element& other);
        Element& operator= (Element&& other) noexcept;
        ~Element();

        bool IsMessage() const noexcept { return message != nullptr; }
        bool IsBundle() const noexcept { return bundle != nullptr; }

        /** Throws a kul::Exception when the element carries no message. */
        const OSCMessage& GetMessage() const;

        /** Throws a kul::Exception when the element carries no bundle. */
        const OSCBundle& GetBundle() const;

    private:
        std::unique_ptr<OSCMessage> message;
        std::unique_ptr<OSCBundle> bundle;
    };

    OSCBundle() = default;
    explicit OSCBundle (uint64_t bundleTimeTag) : timeTag (bundleTimeTag) {}

    void AddElement (const OSCMessage& message) { elements.PushBack (Element (message)); }
    void AddElement (const OSCBundle& bundle) { elements.PushBack (Element (bundle)); }

    static constexpr uint64_t immediately = 1;

    Vector<Element> elements;
    uint64_t timeTag = immediately;
};

} // namespace kul
