#include "InputListing.h"

#include "texts/JsonText.h"

namespace {

bool Describe(const std::string& input, TListingForm form, std::string& text) {
    // Looking at the input and listing it share one time budget for a disc's children.
    const TInputBudget budget;
    std::string refusal;
    const TInputKindRow* kind = ClassifyInput(input, &refusal);
    if (!kind) {
        text = refusal;
        return false;
    }
    return kind->describe(input, form, text);
}

} // namespace

bool DescribeInput(const std::string& input, std::string& text) {
    return Describe(input, TListingForm::Text, text);
}

bool DescribeInputJson(const std::string& input, std::string& line, std::string& error) {
    std::string members;
    const bool described = Describe(input, TListingForm::Json, members);
    json_text::TObject object;
    object.Text("input", input);
    if (described) {
        line = "{" + object.Members() + "," + members + "}\n";
        return true;
    }
    error = members;
    line = object.Text("error", error).Done() + "\n";
    return false;
}
