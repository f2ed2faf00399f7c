// The plug-in's one exported symbol: the host calls it once, on its main thread,
// when it loads the plug-in.
#include "meter/MeterObject.h"

__attribute__ ((visibility ("default"))) int main()
{
    return meter_main();
}
