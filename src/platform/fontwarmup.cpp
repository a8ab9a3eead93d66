#include "platform/fontwarmup.h"

#include <fontconfig/fontconfig.h>

FontWarmUp::FontWarmUp()
    : m_thread([] { FcInit(); })
{ }

FontWarmUp::~FontWarmUp()
{
    finish();
}

void FontWarmUp::finish()
{
    if (m_thread.joinable())
        m_thread.join();
}
