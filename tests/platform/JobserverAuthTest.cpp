#include "platform/JobserverAuth.h"

#include <gtest/gtest.h>

namespace {

using Kind = JobserverAuth::Kind;

struct AuthCase {
    const char* makeflags;
    Kind kind;
    const char* name;
    int readFd;
    int writeFd;
};

const AuthCase kCases[] = {
    {"", Kind::None, "", -1, -1},
    {"-j4", Kind::None, "", -1, -1},
    {"-j4 --jobserver-auth=fifo:/tmp/GMfifo12", Kind::Fifo, "/tmp/GMfifo12", -1, -1},
    {" -j4 --jobserver-auth=3,4 -k", Kind::Pipe, "", 3, 4},
    {"-j2 --jobserver-fds=5,6", Kind::Pipe, "", 5, 6},
    // The last word counts; a negative descriptor turns the jobserver off.
    {"--jobserver-auth=3,4 --jobserver-auth=fifo:/x", Kind::Fifo, "/x", -1, -1},
    {"--jobserver-auth=fifo:/x --jobserver-fds=7,8", Kind::Pipe, "", 7, 8},
    {"-j2 --jobserver-auth=-2,-2", Kind::None, "", -1, -1},
    {"-j --jobserver-auth=gmake_semaphore_1234", Kind::Semaphore, "gmake_semaphore_1234", -1, -1},
    {"x--jobserver-auth=3,4", Kind::None, "", -1, -1},
    {"--jobserver-auth=fifo:", Kind::None, "", -1, -1},
};

TEST(JobserverAuth, WhereMakeflagsSaysTheJobserverIs) {
    for (const AuthCase& c : kCases) {
        const JobserverAuth auth = jobserverAuthIn(c.makeflags);
        EXPECT_EQ(auth.kind, c.kind) << c.makeflags;
        EXPECT_EQ(auth.name, c.name) << c.makeflags;
        EXPECT_EQ(auth.readFd, c.readFd) << c.makeflags;
        EXPECT_EQ(auth.writeFd, c.writeFd) << c.makeflags;
    }
}

} // namespace
