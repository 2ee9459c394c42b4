#include "convert/ProgressSink.h"

namespace {

class Unwatched final : public ProgressSink {
public:
    void Start(std::uint32_t, const std::uint8_t*) override {}
    void Update(std::uint32_t) override {}
    void Clear() override {}
};

} // namespace

ProgressSink& NoProgress() {
    static Unwatched sink;
    return sink;
}
