#include "platform/fontwarmup.h"

#include <fontconfig/fontconfig.h>

FontWarmUp::FontWarmUp()
    : m_thread([] { FcInit(); })
{ }

void FontWarmUp::finish()
{
    m_thread.join();
}
