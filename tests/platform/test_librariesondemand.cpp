#include "platform/commanderror.h"
#include "platform/librariesondemand.h"

#include <gtest/gtest.h>

#include <QFile>

#include <chm_lib.h>
#include <minizip/unzip.h>
#include <xlsxwriter.h>

#include <functional>

namespace {

bool mapped(const char *library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

} // namespace

// Nothing opens the libraries before their first call; that call opens them and reaches
// the library's own function. libxlsxwriter brings minizip with it, so it comes last.
TEST(LibrariesOnDemand, EachLibraryOpensAtTheFirstCallOfOneOfItsFunctions)
{
    const struct
    {
        const char *library;
        std::function<bool()> call;
    } cases[] = {
        { "libminizip.so", [] { return unzClose(nullptr) == UNZ_PARAMERROR; } },
        { "libchm.so", [] { return chm_open("/nonexistent/Scorelane.chm") == nullptr; } },
        { "libxlsxwriter.so",
            [] { return QByteArray(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)).contains("alloc"); } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.library);
        EXPECT_FALSE(mapped(c.library));
        EXPECT_TRUE(c.call());
        EXPECT_TRUE(mapped(c.library));
    }
}

TEST(LibrariesOnDemand, AMissingLibraryOrFunctionIsACommandErrorThatNamesIt)
{
    const struct
    {
        const char *library;
        const char *function;
        const char *named;
    } cases[] = {
        { "libscorelane-missing.so.0", "chm_open", "libscorelane-missing.so.0" },
        { "libchm.so.1", "chm_open_everything", "chm_open_everything" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.function);
        try {
            LibrariesOnDemand::function(c.library, c.function);
            ADD_FAILURE() << "no error";
        } catch (const CommandError &e) {
            EXPECT_TRUE(e.text().contains(QLatin1StringView(c.named))) << e.what();
        }
    }
}
