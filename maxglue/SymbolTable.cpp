#include "maxglue/SymbolTable.h"

#include "maxglue/AtomText.h"

#include <atomic>
#include <iterator>

namespace
{
// The table's layout: entry i is the symbol of name i.
constexpr const char* symbolNames[] = {
    "active", "add", "air", "annotation", "anchor", "angular", "aperture", "append", "area", "areas", "attr_modified",
    "autodrywet", "autofrontback", "axis", "az", "azim", "azimuth", "background", "backgroundcolor", "bang", "barycenter",
    "binaural", "bitdepth", "bgcolor", "blocksize", "bpatcher", "bpc", "bril", "buffer", "buffering", "buffername",
    "buffer_modified", "buffersize", "buffer~", "bug", "bypass", "cascade", "cascades", "category", "channel", "cluster",
    "clear", "cm", "color", "colormap", "column", ",", "count", "crit", "crossfadetime", "cursor", "cursorcolor", "cutoff",
    "curvecolor", "dB", "dblclick", "decoding", "default", "deg", "delay", "delays", "description", "digest", "direct",
    "directeq", "dirty", "dist", "distr", "distance", "dontreset", "done", "doppler", "down", "drywet", "drop", "dropmode",
    "dsp_add64", "dynamic", "early", "echodensity", "emitter", "", "enabled", "end", "enumvals", "error", "face", "fact",
    "fadein", "fadeout", "false", "fftsize", "fh", "filelist", "filename", "filesaved", "filesize", "filter", "fir", "fgcolor",
    "fl", "float", "float64", "folder", "font", "free", "freq", "freqs", "format", "front", "frontback", "frontal", "fullpath",
    "FullPacket", "g0", "G0", "gh", "Gh", "gl", "Gl", "gm", "Gm", "gain", "gains", "getname", "globalsymbol_binding",
    "globalsymbol_unbinding", "grids", "gridcolor", "groupref", "header", "heaviness", "height", "hidden", "hint", "ignoreclick",
    "iir", "irsaved", "image", "infinite", "inputdelay", "inputlevel", "interpolationmode", "interpolationtime", "invisible",
    "iterations", "kemar", "KEMAR", "kurtosis", "label", "latency", "length", "level", "levels", "list", "listener", "liveness",
    "locked", "long", "lookat", "low", "m", "magnitude", "marker", "markerspos", "matrix", "max", "maxvalue", "maxorder", "min",
    "minvalue", "mode", "mouse", "mm", "multipleoutlets", "mute", "name", "namespace", "nativewindow", "nearfield", "noise",
    "none", "norm", "normalize", "null", "numanchors", "numchannels", "numcols", "numdelays", "numinputs", "numinternals",
    "numleds", "nummarkers", "numoutputs", "numrows", "numsources", "numreverbs", "numspeakers", "offset", "omni", "options",
    "order", "orientation", "output", "outputlevel", "overlap", "oversampling", "overwrite", "panning", "parallel",
    "parameter_enable", "params", "patching_position", "patching_rect", "patching_size", "patcherview", "pause", "peak",
    "peakhold", "peripheric", "perform", "phase", "phi", "pitch", "post", "pres", "presentation", "presentation_position",
    "presentation_rect", "presentation_size", "progress", "Q", "rad", "radius", "ramp", "rate", "recallpreset", "receiver",
    "rect", "remove", "renderer", "reset", "reverb", "rms", "robust", "roll", "rolloff", "room", "roomsize", "route", "row",
    "rt10", "rt20", "rt30", "samplerate", "samples", "selected", "selection", "selstart", "selend", "shape", "showcursor",
    "size", "sizeinsamps", "solo", "soundspeed", "source", "sources", "sourcecolor", "zelmnamespace", "span", "speaker",
    "speakers", "spread", "spreadxyz", "sr", "standard", "start", "status", "stereo", "subgain", "subtype", "sum", "symbol",
    "tab", "taps", "thickness", "threshold", "times", "tmax", "tod", "top", "tr0", "trl", "trm", "trh", "trans2bin", "trim",
    "true", "type", "units", "unwrap", "varname", "verbose", "velocity", "viewername", "visible", "vzoom", "warning", "waveform",
    "wclose", "weights", "wfs", "width", "window", "windowmoveable", "windowresizeable", "windowsize", "windowtitle",
    "windowtopleft", "x", "xy", "xyz", "y", "ymax", "ymin", "yaw", "z", "zoom", "zoomfactor", "zoomlock", "ad", "ade", "ae",
    "aed", "azim++", "dist++", "dist*=", "elev", "elevation", "elev++", "zelm3", "x++", "y++", "z++", "airfreq", "cluster_distr",
    "cluster_end", "cluster_start", "crossearselection", "dbap", "delayscorrection", "distanceattenuation", "early_distr",
    "early_end", "early_shape", "early_start", "early_width", "env", "hlshelf", "panr", "transaural", "sourcespositions",
    "speakerspositions", "hrtffile", "nearfieldhrtffile", "nfcompensationfilters", "warmth", "prer", "revp", "gainscorrection",
    "sourcemute", "sourcesolo", "pan_rev", "modaldensity", "vbap", "vbap2d", "hoa2d", "hoa3d", "nfchoa2d", "nfchoa3d",
    "orientationmode", "reverb_start", "roomairabsorption", "roomairrolloff", "numcascades", "reverberance", "listenerposition",
    "listeneryaw", "listenerpitch", "listenerroll", "transauralfile", "showaperture", "showcriteria", "showviewer", "speakerseq",
    "speakerstimealignment", "reverbid", "rpy", "outputfiltersfreq", "outputfiltersQ", "outputfiltersgain", "outputfilterstype",
    "sourceairabsorption", "roomactive"
};

static_assert (std::size (symbolNames) == oskelmax::numSymbols, "the symbol table has exactly 405 names");

oskelmax::SymbolTable table {};
} // namespace

oskelmax::SymbolTable* oskelmax_symboltable = nullptr;

namespace oskelmax
{

const char* GetSymbolName (int entry) noexcept
{
    return entry >= 0 && entry < numSymbols ? symbolNames[entry] : "";
}

t_symbol* GetSymbol (int entry) noexcept
{
    if (entry < 0 || entry >= numSymbols)
        return gensym ("");

    if (auto* filled = std::atomic_ref<oskelmax::SymbolTable*> (oskelmax_symboltable).load (std::memory_order_acquire))
        return filled->symbols[entry];

    return gensym (symbolNames[entry]);
}

} // namespace oskelmax

oskelmax::SymbolTable* oskelmax_fillsymboltable()
{
    for (int i = 0; i < oskelmax::numSymbols; ++i)
    {
        auto* symbol = gensym (symbolNames[i]);

        // A refill finds the same symbols; leaving equal entries untouched keeps
        // the refill from racing with readers on other threads.
        std::atomic_ref<t_symbol*> entry (table.symbols[i]);
        if (entry.load (std::memory_order_relaxed) != symbol)
            entry.store (symbol, std::memory_order_relaxed);
    }

    return &table;
}

void oskelmax_initsymboltable()
{
    oskelmax_initcommonsymbols();
    auto* filled = oskelmax_fillsymboltable();
    std::atomic_ref<oskelmax::SymbolTable*> (oskelmax_symboltable).store (filled, std::memory_order_release);
}
