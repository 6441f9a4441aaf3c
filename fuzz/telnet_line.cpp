// What a device server sends on an rfc2217:// port, from anywhere, in reads
// cut anywhere: the codec never hands on more bytes than came, answers a
// bounded amount, and the unit's bytes as the client encodes them come
// back whole, however the reads cut them.

#include <vector>

#include "fuzz/support/FuzzKit.h"
#include "korprog/conndrv/Data/Rfc2217Codec.h"

using namespace fuzzkit;

namespace {

// Feeds the wire in reads whose lengths the input picks; the unit's bytes.
std::string feed(Rfc2217Codec& codec, const std::string& wire, Input& cuts, std::string& reply)
{
    std::string data;
    for (size_t at = 0; at < wire.size();) {
        const size_t n = std::min(wire.size() - at, size_t(1 + cuts.pick(40)));
        std::vector<char> out(n);
        const size_t before = reply.size();
        const int got = codec.decode(wire.data() + at, int(n), out.data(), reply);
        if (got < 0 || size_t(got) > n) fail("more of the unit's bytes than came on the wire");
        // An answer per command (three bytes) and the settings once.
        if (reply.size() - before > 3 * n + 64) fail("an answer out of proportion to what came");
        data.append(out.data(), size_t(got));
        at += n;
    }
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    Input in(bytes, size);
    const std::string server = in.piece();
    const std::string unit = in.piece();
    {
        Rfc2217Codec codec;
        std::string reply = codec.start();
        feed(codec, server, in, reply);
        (void)codec.settled();
        (void)codec.accepted();
    }
    Rfc2217Codec codec;
    std::string reply;
    if (feed(codec, Rfc2217Codec::encode(unit.data(), int(unit.size())), in, reply) != unit)
        fail("the unit's bytes did not come back whole");
    if (!reply.empty()) fail("the unit's bytes were taken for commands");
    return 0;
}
