#include "convert/RunOptions.h"

RunOptions& TheRunOptions() {
    static RunOptions options;
    return options;
}
