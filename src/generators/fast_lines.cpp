#include "generators/fast_lines.hpp"

namespace lotrix {

const FastLines* ChooseFastLines() {
    for (const FastLines* path : kVectorPaths) {
        if (path->minimalStandard != nullptr && path->runsHere()) return path;
    }
    return nullptr;
}

}  // namespace lotrix
