#include "InputListing.h"

#include "disc/IsolatedCall.h"
#include "run/InputKind.h"

bool DescribeInput(const std::string& input, std::string& text) {
    // Looking at the input and listing it share one budget for the disc's children.
    const TIsolationBudget budget;
    std::string refusal;
    const TInputKindRow* kind = ClassifyInput(input, &refusal);
    if (!kind) {
        text = refusal;
        return false;
    }
    return kind->describe(input, text);
}
