#include "meter/MultiMeterComponentListener.h"

#include "meter/MeterObject.h"

#include "dsp/Mixer.h"
#include "maxglue/ObjectPorts.h"
#include "maxglue/SymbolTable.h"

MultiMeterComponentListener::MultiMeterComponentListener (t_meter* meter)
    : owner (meter)
{
    if (owner != nullptr && owner->gui != nullptr)
        owner->gui->addListener (this);
}

MultiMeterComponentListener::~MultiMeterComponentListener()
{
    if (owner != nullptr && owner->gui != nullptr)
        owner->gui->removeListener (this);

    owner = nullptr;
}

void MultiMeterComponentListener::channelButtonClicked (unsigned channelIndex)
{
    if (owner == nullptr || owner->gui == nullptr || owner->mixer == nullptr)
        return;

    // Both states are set whichever button was clicked: the mixer then always
    // mirrors the strip.
    const bool muted = owner->gui->getMute (channelIndex);
    const bool soloed = owner->gui->getSolo (channelIndex);
    owner->mixer->SetMute (channelIndex, muted);
    owner->mixer->SetSolo (channelIndex, soloed);
}

void MultiMeterComponentListener::sliderValueChanged (juce::Slider* slider)
{
    if (owner == nullptr || slider == nullptr)
        return;

    const auto value = static_cast<float> (slider->getValue());
    meter_storefields (owner, [&] { owner->gain = value; });
    meter_storeslidergain (owner, value);

    if (owner->mixer != nullptr)
        owner->mixer->SetGain (value, false);

    if (auto* outlet = oskelmax_getdumpoutlet (&owner->ob.header.z_ob))
    {
        t_atom atom;
        atom_setfloat (&atom, value);
        outlet_anything (outlet, oskelmax::GetSymbol (oskelmax::symGain), 1, &atom);
    }
}
