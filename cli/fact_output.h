// What a command found, as lines ("name: value", one fact a line) or as one JSON object with
// the same names, so that scripts get the same facts either way.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace kalendo::cli {

class FactOutput {
  public:
    explicit FactOutput(bool json) : json_(json) {}

    void Text(const std::string& name, const std::string& value);
    void Number(const std::string& name, double value, int decimals);
    void Integer(const std::string& name, long long value);
    void Flag(const std::string& name, bool value);

    // A row of a list (registers, boards): its own line in line form, and an object in the
    // JSON array `list`.
    class Row {
      public:
        Row& Text(const std::string& name, const std::string& value);
        Row& Integer(const std::string& name, long long value);
        Row& Number(const std::string& name, double value, int decimals);
        Row& Flag(const std::string& name, bool value);

      private:
        friend class FactOutput;
        std::vector<std::pair<std::string, std::string>> fields_;  // JSON-encoded values
    };
    void ListRow(const std::string& list, const Row& row, const std::string& line);

    // The whole output, ending in a line feed; nothing at all in line form with no facts.
    std::string Render() const;
    bool json() const { return json_; }

  private:
    struct Entry {
        std::string name;
        std::string json;  // encoded value, or the list's rows
        std::string line;  // the line form
        bool list = false;
    };
    void Add(const std::string& name, const std::string& json, const std::string& line);

    bool json_;
    std::vector<Entry> entries_;
};

// A JSON string literal of the text, quotes included.
std::string JsonString(const std::string& text);

}  // namespace kalendo::cli
