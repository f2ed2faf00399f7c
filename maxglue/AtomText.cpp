#include "maxglue/AtomText.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <new>
#include <vector>

t_common_symbols_table* oskelmax_commonsymbols = nullptr;

namespace oskelmax
{

std::string FormatFixed (double value, int decimals)
{
    // The largest double has 309 digits before the point.
    std::string text (static_cast<size_t> (320 + std::max (decimals, 0)), '\0');
    const auto result = std::to_chars (text.data(), text.data() + text.size(), value, std::chars_format::fixed, std::max (decimals, 0));

    if (result.ec != std::errc())
        return {};

    text.resize (static_cast<size_t> (result.ptr - text.data()));
    return text;
}

std::string FloatToAtomText (double value)
{
    // A finite number beyond the 32-bit range would read "inf" (and narrowing it is
    // undefined): it is shown as the host holds it, so that an error echoes what was typed.
    if (std::isfinite (value) && std::fabs (value) > static_cast<double> (std::numeric_limits<float>::max()))
    {
        char text[32];
        const auto result = std::to_chars (std::begin (text), std::end (text), value, std::chars_format::general);
        return result.ec == std::errc() ? std::string (text, result.ptr) : std::string();
    }

    auto text = FormatFixed (static_cast<double> (static_cast<float> (value)), 6);

    while (! text.empty() && text.back() == '0')
        text.pop_back();

    return text;
}

namespace
{
    t_common_symbols_table* commonSymbols()
    {
        if (auto* cached = std::atomic_ref<t_common_symbols_table*> (oskelmax_commonsymbols).load (std::memory_order_acquire))
            return cached;

        return common_symbols_gettable();
    }
} // namespace

t_symbol* GetDumpOutletKey()
{
    auto* table = commonSymbols();
    return table != nullptr ? table->s_dumpout : gensym ("dumpout");
}

t_symbol* GetModifiedSymbol()
{
    auto* table = commonSymbols();
    return table != nullptr ? table->s_modified : gensym ("modified");
}

t_symbol* GetDictionarySymbol()
{
    auto* table = commonSymbols();
    return table != nullptr ? table->s_dictionary : gensym ("dictionary");
}

} // namespace oskelmax

void oskelmax_initcommonsymbols()
{
    std::atomic_ref<t_common_symbols_table*> (oskelmax_commonsymbols).store (common_symbols_gettable(), std::memory_order_release);
}

void atomsToText (long count, const t_atom* atoms, std::string& text)
{
    text.clear();

    if (count <= 0 || atoms == nullptr)
        return;

    for (long i = 0; i < count; ++i)
    {
        const auto& atom = atoms[i];

        switch (atom.a_type)
        {
            case A_SYM:
                text += atom.a_w.w_sym != nullptr ? atom.a_w.w_sym->s_name : "";
                text += ' ';
                break;
            case A_FLOAT:
                text += oskelmax::FloatToAtomText (atom.a_w.w_float);
                text += ' ';
                break;
            case A_LONG:
                text += std::to_string (atom.a_w.w_long);
                text += ' ';
                break;
            default: break;
        }
    }
}

void PostAtoms (t_object* x, long count, const t_atom* atoms, const std::string& name)
{
    std::string text;
    atomsToText (count, atoms, text);
    object_post (x, "%s : %s", name.c_str(), text.c_str());
}

void oskelmax_postinvalidmessage (t_object* x, long argc, const t_atom* argv, const char* text)
{
    const char* message = text != nullptr ? text : "";

    if (argc != 0 && argv != nullptr)
    {
        std::string arguments;
        atomsToText (argc, argv, arguments);
        object_error (x, "%s %s", message, arguments.c_str());
    }
    else
        object_error (x, "%s ", message);
}

t_max_err oskelmax_outletfloats (void* outlet, t_symbol* selector, long count, const float* values)
{
    if (count < 0 || (count > 0 && values == nullptr))
        return MAX_ERR_INVALID_PTR;

    if (count > oskelmax::maxAtomsPerMessage)
    {
        object_error (nullptr, "oskelmax_outletfloats : %ld values do not fit in one message (at most %ld)", count,
                      oskelmax::maxAtomsPerMessage);
        return MAX_ERR_GENERIC;
    }

    std::vector<t_atom> atoms;

    try
    {
        atoms.resize (static_cast<size_t> (count));
    }
    catch (const std::bad_alloc&)
    {
        return MAX_ERR_OUT_OF_MEM;
    }

    const auto result = atom_setfloat_array (count, atoms.data(), count, values);
    outlet_anything (outlet, selector, static_cast<short> (count), atoms.data());
    return result;
}
