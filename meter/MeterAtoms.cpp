#include "meter/MeterAtoms.h"

#include <algorithm>
#include <cstring>

float meter_atomnumber (const t_atom& atom)
{
    if (atom.a_type == A_FLOAT)
        return static_cast<float> (atom.a_w.w_float);

    if (atom.a_type == A_LONG)
        return static_cast<float> (atom.a_w.w_long);

    return 0.0f;
}

bool meter_atomflag (const t_atom& atom)
{
    return atom_getlong (&atom) != 0;
}

t_symbol* meter_atomsymbol (const t_atom& atom)
{
    return atom.a_type == A_SYM && atom.a_w.w_sym != nullptr ? atom.a_w.w_sym : gensym ("");
}

bool meter_checkpattern (const char* pattern, long argc, const t_atom* argv)
{
    const auto length = static_cast<long> (std::strlen (pattern));

    if (argc < length || (length > 0 && argv == nullptr))
        return false;

    for (long i = 0; i < length; ++i)
    {
        const auto type = argv[i].a_type;
        bool fits = false;

        switch (pattern[i])
        {
            case 'f': fits = type == A_FLOAT; break;
            case 'i':
            case 'l': fits = type == A_LONG; break;
            case 'n': fits = type == A_LONG || type == A_FLOAT; break;
            case 's': fits = type == A_SYM; break;
            default: break;
        }

        if (! fits)
            return false;
    }

    return true;
}

void meter_parse_rgba (double* colour, long argc, const t_atom* argv)
{
    if (colour == nullptr || argv == nullptr)
        return;

    for (long i = 0; i < std::min (argc, 4L); ++i)
        colour[i] = meter_atomnumber (argv[i]);
}
