#include "InputListing.h"

#include "run/InputKind.h"

bool DescribeInput(const std::string& input, std::string& text) {
    std::string refusal;
    const TInputKindRow* kind = ClassifyInput(input, &refusal);
    if (!kind) {
        text = refusal;
        return false;
    }
    return kind->describe(input, text);
}
