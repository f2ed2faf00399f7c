// Symbols, memory, atoms and the common-symbol table.
#include "Host.h"

#include <algorithm>
#include <cstdlib>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace
{
struct SymbolTable
{
    std::mutex mutex;
    std::unordered_map<std::string, std::unique_ptr<t_symbol>> symbols;
    std::vector<std::unique_ptr<char[]>> names;
    unsigned long uniqueCounter = 0;
};

SymbolTable& symbolTable()
{
    static SymbolTable* table = new SymbolTable(); // lives to the end of the process, like the symbols
    return *table;
}

t_symbol* intern (SymbolTable& table, const std::string& name)
{
    auto found = table.symbols.find (name);
    if (found != table.symbols.end())
        return found->second.get();

    auto text = std::make_unique<char[]> (name.size() + 1);
    std::memcpy (text.get(), name.c_str(), name.size() + 1);
    auto symbol = std::make_unique<t_symbol>();
    symbol->s_name = text.get();
    symbol->s_thing = nullptr;
    auto* result = symbol.get();
    table.names.push_back (std::move (text));
    table.symbols.emplace (name, std::move (symbol));
    return result;
}
} // namespace

namespace maxhost::detail
{
void unbindAllSymbols()
{
    auto& table = symbolTable();
    std::lock_guard<std::mutex> lock (table.mutex);
    for (auto& entry : table.symbols)
        entry.second->s_thing = nullptr;
}
} // namespace maxhost::detail

extern "C" {

t_symbol* gensym (const char* name)
{
    auto& table = symbolTable();
    std::lock_guard<std::mutex> lock (table.mutex);
    return intern (table, name != nullptr ? name : "");
}

t_symbol* symbol_unique()
{
    auto& table = symbolTable();
    std::lock_guard<std::mutex> lock (table.mutex);
    for (;;)
    {
        char name[32];
        std::snprintf (name, sizeof (name), "u%09lu", ++table.uniqueCounter);
        if (table.symbols.find (name) == table.symbols.end())
            return intern (table, name);
    }
}

t_max_err symbolarray_sort (long ac, t_symbol** av)
{
    if (ac < 0 || (ac > 0 && av == nullptr))
        return MAX_ERR_INVALID_PTR;
    std::stable_sort (av, av + ac, [] (t_symbol* a, t_symbol* b) { return std::strcmp (a->s_name, b->s_name) < 0; });
    return MAX_ERR_NONE;
}

t_ptr sysmem_newptr (long size)
{
    if (size < 0 || maxhost::detail::shouldFail ("sysmem_newptr", ""))
        return nullptr;
    return static_cast<t_ptr> (std::malloc (static_cast<size_t> (std::max (size, 1L))));
}

t_ptr sysmem_newptrclear (long size)
{
    auto* p = sysmem_newptr (size);
    if (p != nullptr)
        std::memset (p, 0, static_cast<size_t> (std::max (size, 1L)));
    return p;
}

t_ptr sysmem_resizeptr (void* ptr, long newsize)
{
    if (newsize < 0)
        return nullptr;
    return static_cast<t_ptr> (std::realloc (ptr, static_cast<size_t> (std::max (newsize, 1L))));
}

void sysmem_freeptr (void* ptr)
{
    std::free (ptr);
}

void sysmem_copyptr (const void* src, void* dst, long bytes)
{
    if (src != nullptr && dst != nullptr && bytes > 0)
        std::memmove (dst, src, static_cast<size_t> (bytes));
}

t_max_err atom_setlong (t_atom* a, t_atom_long b)
{
    if (a == nullptr)
        return MAX_ERR_INVALID_PTR;
    a->a_type = A_LONG;
    a->a_w.w_long = b;
    return MAX_ERR_NONE;
}

t_max_err atom_setfloat (t_atom* a, double b)
{
    if (a == nullptr)
        return MAX_ERR_INVALID_PTR;
    a->a_type = A_FLOAT;
    a->a_w.w_float = b;
    return MAX_ERR_NONE;
}

t_max_err atom_setsym (t_atom* a, t_symbol* b)
{
    if (a == nullptr)
        return MAX_ERR_INVALID_PTR;
    a->a_type = A_SYM;
    a->a_w.w_sym = b != nullptr ? b : gensym ("");
    return MAX_ERR_NONE;
}

t_max_err atom_setobj (t_atom* a, void* b)
{
    if (a == nullptr)
        return MAX_ERR_INVALID_PTR;
    a->a_type = A_OBJ;
    a->a_w.w_obj = static_cast<t_object*> (b);
    return MAX_ERR_NONE;
}

t_atom_long atom_getlong (const t_atom* a)
{
    if (a == nullptr)
        return 0;
    if (a->a_type == A_LONG)
        return a->a_w.w_long;
    if (a->a_type == A_FLOAT)
    {
        // Converted only where a long can hold it: NaN counts as 0, anything
        // beyond the range as its nearest end.
        const double value = a->a_w.w_float;
        constexpr double limit = 9223372036854775808.0;   // 2^63
        if (std::isnan (value))
            return 0;
        if (value >= limit)
            return std::numeric_limits<t_atom_long>::max();
        if (value < -limit)
            return std::numeric_limits<t_atom_long>::min();
        return static_cast<t_atom_long> (value);
    }
    return 0;
}

t_atom_float atom_getfloat (const t_atom* a)
{
    if (a == nullptr)
        return 0.0;
    if (a->a_type == A_FLOAT)
        return a->a_w.w_float;
    if (a->a_type == A_LONG)
        return static_cast<t_atom_float> (a->a_w.w_long);
    return 0.0;
}

t_symbol* atom_getsym (const t_atom* a)
{
    if (a != nullptr && a->a_type == A_SYM)
        return a->a_w.w_sym;
    return gensym ("");
}

void* atom_getobj (const t_atom* a)
{
    if (a != nullptr && a->a_type == A_OBJ)
        return a->a_w.w_obj;
    return nullptr;
}

long atom_gettype (const t_atom* a)
{
    return a != nullptr ? static_cast<long> (a->a_type) : static_cast<long> (A_NOTHING);
}

t_max_err atom_setlong_array (long ac, t_atom* av, long count, const t_atom_long* vals)
{
    if (av == nullptr || vals == nullptr)
        return MAX_ERR_INVALID_PTR;
    for (long i = 0; i < std::min (ac, count); ++i)
        atom_setlong (av + i, vals[i]);
    return MAX_ERR_NONE;
}

t_max_err atom_setfloat_array (long ac, t_atom* av, long count, const float* vals)
{
    if (av == nullptr || vals == nullptr)
        return count > 0 && ac > 0 ? t_max_err { MAX_ERR_INVALID_PTR } : t_max_err { MAX_ERR_NONE };
    for (long i = 0; i < std::min (ac, count); ++i)
        atom_setfloat (av + i, vals[i]);
    return MAX_ERR_NONE;
}

t_max_err atom_setdouble_array (long ac, t_atom* av, long count, const double* vals)
{
    if (av == nullptr || vals == nullptr)
        return MAX_ERR_INVALID_PTR;
    for (long i = 0; i < std::min (ac, count); ++i)
        atom_setfloat (av + i, vals[i]);
    return MAX_ERR_NONE;
}

t_max_err atom_setsym_array (long ac, t_atom* av, long count, t_symbol* const* vals)
{
    if (av == nullptr || vals == nullptr)
        return MAX_ERR_INVALID_PTR;
    for (long i = 0; i < std::min (ac, count); ++i)
        atom_setsym (av + i, vals[i]);
    return MAX_ERR_NONE;
}

t_max_err atom_gettext (long ac, const t_atom* av, long* textsize, char** text, long)
{
    if (textsize == nullptr || text == nullptr)
        return MAX_ERR_INVALID_PTR;
    std::vector<t_atom> atoms;
    if (av != nullptr && ac > 0)
        atoms.assign (av, av + ac);
    const auto result = maxhost::atomsToText (atoms);
    if (*text == nullptr || *textsize <= 0)
    {
        *text = sysmem_newptr (static_cast<long> (result.size() + 1));
        if (*text == nullptr)
            return MAX_ERR_OUT_OF_MEM;
        *textsize = static_cast<long> (result.size() + 1);
    }
    std::snprintf (*text, static_cast<size_t> (*textsize), "%s", result.c_str());
    return MAX_ERR_NONE;
}

t_common_symbols_table* common_symbols_gettable()
{
    static t_common_symbols_table* table = []
    {
        auto* t = new t_common_symbols_table();
        t->s_nothing = gensym ("");
        t->s_bang = gensym ("bang");
        t->s_int = gensym ("int");
        t->s_float = gensym ("float");
        t->s_list = gensym ("list");
        t->s_symbol = gensym ("symbol");
        t->s_long = gensym ("long");
        t->s_float32 = gensym ("float32");
        t->s_float64 = gensym ("float64");
        t->s_atom = gensym ("atom");
        t->s_object = gensym ("object");
        t->s_signal = gensym ("signal");
        t->s_dumpout = gensym ("dumpout");
        t->s_dictionary = gensym ("dictionary");
        t->s_modified = gensym ("modified");
        t->s_attr_modified = gensym ("attr_modified");
        t->s_default = gensym ("default");
        t->s_label = gensym ("label");
        t->s_style = gensym ("style");
        t->s_getname = gensym ("getname");
        t->s_gettype = gensym ("gettype");
        t->s_setmethod = gensym ("setmethod");
        t->s_get = gensym ("get");
        t->s_set = gensym ("set");
        return t;
    }();
    return table;
}

} // extern "C"

namespace maxhost
{
std::vector<t_atom> parseAtoms (const std::string& text)
{
    std::vector<t_atom> atoms;
    size_t i = 0;
    while (i < text.size())
    {
        while (i < text.size() && std::isspace (static_cast<unsigned char> (text[i])))
            ++i;
        if (i >= text.size())
            break;

        t_atom atom {};
        if (text[i] == ';' || text[i] == ',')
        {
            atom.a_type = text[i] == ';' ? A_SEMI : A_COMMA;
            atoms.push_back (atom);
            ++i;
            continue;
        }

        std::string word;
        if (text[i] == '"')
        {
            // A quoted symbol keeps its blanks.
            ++i;
            while (i < text.size() && text[i] != '"')
            {
                if (text[i] == '\\' && i + 1 < text.size())
                    ++i;
                word += text[i++];
            }
            ++i;
            atom_setsym (&atom, gensym (word.c_str()));
            atoms.push_back (atom);
            continue;
        }

        while (i < text.size() && ! std::isspace (static_cast<unsigned char> (text[i])) && text[i] != ';' && text[i] != ',')
        {
            if (text[i] == '\\' && i + 1 < text.size())
                ++i;
            word += text[i++];
        }

        char* end = nullptr;
        errno = 0;
        const long asLong = std::strtol (word.c_str(), &end, 10);
        if (end != nullptr && *end == '\0' && errno == 0 && ! word.empty() && word != "-" && word != "+")
        {
            atom_setlong (&atom, asLong);
        }
        else
        {
            const double asDouble = std::strtod (word.c_str(), &end);
            const bool numeric = end != nullptr && *end == '\0' && ! word.empty()
                                 && (std::isdigit (static_cast<unsigned char> (word[0])) || word[0] == '-' || word[0] == '+' || word[0] == '.')
                                 && word.find_first_of ("0123456789") != std::string::npos
                                 && word.find_first_of ("xXnN") == std::string::npos;
            if (numeric)
                atom_setfloat (&atom, asDouble);
            else
                atom_setsym (&atom, gensym (word.c_str()));
        }
        atoms.push_back (atom);
    }
    return atoms;
}

std::string atomsToText (const std::vector<t_atom>& atoms)
{
    std::string text;
    for (const auto& atom : atoms)
    {
        if (atom.a_type == A_SEMI)
        {
            text += ";";
            continue;
        }
        if (atom.a_type == A_COMMA)
        {
            text += ",";
            continue;
        }
        if (! text.empty())
            text += ' ';
        switch (atom.a_type)
        {
            case A_LONG: text += std::to_string (atom.a_w.w_long); break;
            case A_FLOAT: text += detail::floatText (atom.a_w.w_float); break;
            case A_SYM: text += atom.a_w.w_sym != nullptr ? atom.a_w.w_sym->s_name : ""; break;
            case A_OBJ:
            {
                char buffer[32];
                std::snprintf (buffer, sizeof (buffer), "<object %p>", static_cast<void*> (atom.a_w.w_obj));
                text += buffer;
                break;
            }
            default: break;
        }
    }
    return text;
}
} // namespace maxhost

namespace maxhost::detail
{
std::string floatText (double value)
{
    char buffer[64];
    std::snprintf (buffer, sizeof (buffer), "%f", value);
    std::string text = buffer;
    if (text.find ('.') != std::string::npos && text.find_first_of ("ni") == std::string::npos)
    {
        while (! text.empty() && text.back() == '0')
            text.pop_back();
    }
    return text;
}
} // namespace maxhost::detail
