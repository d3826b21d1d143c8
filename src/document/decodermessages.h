#pragma once

// What the picture decoders say while they work: the toolkit's messages and libtiff's, which
// goes past the toolkit. A thread decoding a picture collects them instead of letting them reach
// standard error; every other thread's messages go where they went before.

#include <string>
#include <vector>

namespace vantry {

struct DecoderMessages {
    // What the decoders warned of the data, in order.
    std::vector<std::string> warnings;
    // Whether a decoder said it ran out of memory or met the toolkit's allocation limit.
    bool outOfMemory = false;
};

// Collects the decoders' messages on this thread into the DecoderMessages given, for as long as
// it lives.
class CollectDecoderMessages {
public:
    explicit CollectDecoderMessages(DecoderMessages& messages);
    ~CollectDecoderMessages();
    CollectDecoderMessages(const CollectDecoderMessages&) = delete;
    CollectDecoderMessages& operator=(const CollectDecoderMessages&) = delete;

private:
    DecoderMessages* outer_;
};

} // namespace vantry
