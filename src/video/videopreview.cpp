#include "video/videopreview.h"

#include "platform/ondemandmodule.h"

std::unique_ptr<VideoPreview> VideoPreview::create(Setup setup, Items items)
{
    const auto make = reinterpret_cast<MakeVideoPreview>(videoModule().resolve(kMakeVideoPreview));
    if (!make)
        return nullptr;
    return std::unique_ptr<VideoPreview>(make(&setup, &items));
}
