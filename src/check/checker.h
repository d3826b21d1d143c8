#pragma once

#include <string>
#include <vector>

namespace vantry {

class Network;

// How serious a finding is: an error is something the analysis will trip over, a warning
// something the user probably did not mean.
enum class Severity { Warning, Error };

// One problem found in a network, on the link or node it concerns (by number, which stays
// right until the network is next edited).
struct Finding {
    enum class Object { Link, Node };

    Severity severity = Severity::Warning;
    const char* rule = "";
    Object object = Object::Link;
    int number = 0;
    std::string message;

    friend bool operator==(const Finding&, const Finding&) = default;
};

// Where a rule reports what it finds: the rule's name and severity are filled in for it.
class FindingSink {
public:
    FindingSink(const char* rule, Severity severity, std::vector<Finding>& out)
        : rule_(rule), severity_(severity), out_(out) {}
    void link(int number, std::string message) const;
    void node(int number, std::string message) const;

private:
    const char* rule_;
    Severity severity_;
    std::vector<Finding>& out_;
};

// One check of the network: its name as the user sees it, how serious its findings are and
// the function that looks. Every rule runs in linear or n log n time.
struct CheckRule {
    const char* name;
    Severity severity;
    void (*check)(const Network& net, const FindingSink& report);
};

// Every rule, in the order their findings are listed.
const std::vector<CheckRule>& checkRules();
const CheckRule* findCheckRule(const std::string& name);

// The findings of one rule, and of all of them in table order.
std::vector<Finding> runCheckRule(const CheckRule& rule, const Network& net);
std::vector<Finding> checkNetwork(const Network& net);

// "error" or "warning"; "link" or "node".
const char* severityName(Severity severity);
const char* objectName(Finding::Object object);
// One line for a finding: "error RULE: link N: message".
std::string findingLine(const Finding& finding);
// Two nodes closer than this, in miles, overlap.
inline constexpr double kOverlapDistance = 0.001;
// A node overlapping more earlier nodes than this gets one summary for the rest, so that a pile
// of nodes at one point cannot flood the list.
inline constexpr int kOverlapsListedPerNode = 5;

} // namespace vantry
