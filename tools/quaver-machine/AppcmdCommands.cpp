// appcmd: the image's IIS configuration printed the way Windows' appcmd
// prints it, so that a person can see what a setup changed.
//
//   appcmd list site|app|vdir|apppool|module [ID] [/ATTRIBUTE:VALUE ...]
//                                             [/text:ATTRIBUTE | /text:* | /xml]
//   appcmd list module ... [/app.name:SITE/APP]
//   appcmd list config [PATH] [/section:NAME]
//
// Parameters are written as appcmd takes them: /name:value or -name:value.
// An attribute parameter keeps the objects whose attribute has that value;
// a parameter no object knows, an unknown object type and an identifier
// nothing has are errors in appcmd's own words.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "platform/apphost/ConfigPath.h"
#include "platform/apphost/XmlText.h"
#include "tools/quaver-machine/AppHostReader.h"
#include "tools/quaver-machine/AppcmdConfig.h"
#include "tools/quaver-machine/AppcmdObjects.h"
#include "tools/quaver-machine/Tool.h"

namespace {

using quaver_machine::AppcmdObject;
using quaver_machine::AppcmdObjectType;
using quaver_machine::AppHostReader;
using quaver_machine::ToolFailure;

constexpr const char* kUsage =
    "Usage: appcmd list site|app|vdir|apppool|module [ID] [/ATTRIBUTE:VALUE ...]\n"
    "                   [/text:ATTRIBUTE | /text:* | /xml]\n"
    "       appcmd list module [NAME] [/app.name:SITE/APP]\n"
    "       appcmd list config [PATH] [/section:NAME]";

// Usage errors are followed by the usage, as appcmd follows them by help.
[[noreturn]] void Fail(const std::string& message, int status) {
  throw ToolFailure("ERROR ( message:" + message + " )" +
                        (status == ToolFailure::kUsage ? std::string("\n") + kUsage : ""),
                    status);
}

[[noreturn]] void Unsupported(const std::string& attribute) {
  Fail("The attribute \"" + attribute + "\" is not supported in the current command usage.",
       ToolFailure::kUsage);
}

struct Parameter {
  std::string name;  // as written
  std::string value;
};

struct Arguments {
  std::string identifier;
  std::vector<Parameter> parameters;
  bool xml = false;

  // Takes a parameter out of the list; "" when absent.
  std::string Take(const std::string& name) {
    for (auto it = parameters.begin(); it != parameters.end(); ++it) {
      if (apphost::EqualNoCaseUtf8(it->name, name)) {
        std::string value = it->value;
        parameters.erase(it);
        return value;
      }
    }
    return {};
  }
};

Arguments Parse(const std::vector<std::string>& words) {
  Arguments arguments;
  for (const std::string& word : words) {
    if (word.size() > 1 && (word[0] == '/' || word[0] == '-')) {
      const size_t colon = word.find(':');
      const std::string name = word.substr(1, colon == std::string::npos ? colon : colon - 1);
      if (colon == std::string::npos) {
        if (!apphost::EqualNoCaseUtf8(name, "xml")) Unsupported(name);
        arguments.xml = true;
        continue;
      }
      arguments.parameters.push_back({name, word.substr(colon + 1)});
    } else if (arguments.identifier.empty()) {
      arguments.identifier = word;
    } else {
      Fail("Unexpected argument \"" + word + "\".", ToolFailure::kUsage);
    }
  }
  return arguments;
}

// The object's value of an attribute: identity and summary first, then its
// configuration. False when it has none of that name.
bool Lookup(const AppcmdObject& object, const std::string& name, std::string& value) {
  for (const auto* list : {&object.attributes, &object.summary, &object.configuration}) {
    for (const auto& [key, text] : *list) {
      if (apphost::EqualNoCaseUtf8(key, name)) {
        value = text;
        return true;
      }
    }
  }
  return false;
}

bool Known(const std::vector<AppcmdObject>& objects, const std::string& name) {
  std::string ignored;
  for (const AppcmdObject& object : objects) {
    if (Lookup(object, name, ignored)) return true;
  }
  return objects.empty();
}

std::vector<AppcmdObject> Select(const AppcmdObjectType& type, std::vector<AppcmdObject> all,
                                 const Arguments& arguments) {
  for (const Parameter& filter : arguments.parameters) {
    if (!Known(all, filter.name)) Unsupported(filter.name);
  }
  std::vector<AppcmdObject> selected;
  bool identified = arguments.identifier.empty();
  for (AppcmdObject& object : all) {
    if (!arguments.identifier.empty() &&
        !apphost::EqualNoCaseUtf8(object.identifier, arguments.identifier)) {
      continue;
    }
    identified = true;
    bool keep = true;
    for (const Parameter& filter : arguments.parameters) {
      std::string value;
      keep = keep && Lookup(object, filter.name, value) &&
             apphost::EqualNoCaseUtf8(value, filter.value);
    }
    if (keep) selected.push_back(std::move(object));
  }
  if (!identified) {
    Fail(std::string("Cannot find ") + type.shown + " object with identifier \"" +
             arguments.identifier + "\".",
         ToolFailure::kFailed);
  }
  return selected;
}

void PrintLine(const AppcmdObjectType& type, const AppcmdObject& object) {
  // Modules are the one object appcmd prints with spaces in the brackets.
  const bool spaced = std::string(type.name) == "module";
  std::cout << type.shown << " \"" << object.identifier << "\" (" << (spaced ? " " : "");
  for (size_t i = 0; i < object.summary.size(); ++i) {
    if (i != 0) std::cout << (spaced ? ", " : ",");
    std::cout << object.summary[i].first << ":" << object.summary[i].second;
  }
  std::cout << (spaced ? " )" : ")") << "\n";
}

void PrintAll(const AppcmdObjectType& type, const AppcmdObject& object) {
  std::cout << type.shown << "\n";
  for (const auto& [name, value] : object.attributes) {
    std::cout << "  " << name << ":\"" << value << "\"\n";
  }
  std::cout << "  [" << object.elementName << "]\n";
  for (const auto& [name, value] : object.configuration) {
    std::cout << "    " << name << ":\"" << value << "\"\n";
  }
}

void Print(const AppcmdObjectType& type, const std::vector<AppcmdObject>& objects,
           const std::string& text, bool xml) {
  if (xml) {
    std::cout << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<appcmd>\n";
    for (const AppcmdObject& object : objects) {
      std::cout << "    <" << type.shown;
      for (const auto& [name, value] : object.attributes) {
        std::cout << " " << name << "=\"" << apphost::EncodeAttribute(value) << "\"";
      }
      std::cout << " />\n";
    }
    std::cout << "</appcmd>\n";
    return;
  }
  for (const AppcmdObject& object : objects) {
    std::string value;
    if (text.empty()) {
      PrintLine(type, object);
    } else if (text == "*") {
      PrintAll(type, object);
    } else if (Lookup(object, text, value)) {
      std::cout << value << "\n";
    }
  }
}

void ListObjects(const AppcmdObjectType& type, Arguments arguments) {
  const std::string location =
      std::string(type.name) == "module" ? arguments.Take("app.name") : std::string();
  const std::string text = arguments.Take("text");
  if (!text.empty() && arguments.xml)
    Fail("/text and /xml exclude each other.", ToolFailure::kUsage);
  const AppHostReader reader;
  std::vector<AppcmdObject> objects =
      Select(type, type.list(reader, apphost::NormalizeLocation(location)), arguments);
  if (!text.empty() && text != "*" && !objects.empty() && !Known(objects, text)) {
    Unsupported(text);
  }
  Print(type, objects, text, arguments.xml);
}

void ListConfig(Arguments arguments) {
  const std::string section = arguments.Take("section");
  if (!arguments.parameters.empty()) Unsupported(arguments.parameters.front().name);
  if (arguments.xml) Unsupported("xml");
  const AppHostReader reader;
  quaver_machine::PrintConfig(reader, apphost::NormalizeLocation(arguments.identifier), section,
                              std::cout);
}

void Run(const std::vector<std::string>& words) {
  if (std::any_of(words.begin(), words.end(), quaver_machine::IsHelpWord)) {
    std::cout << kUsage << "\n";
    return;
  }
  if (words.empty() || !apphost::EqualNoCaseUtf8(words[0], "list")) {
    Fail(words.empty() ? std::string("Command \"list\" is expected.")
                       : "Unknown command \"" + words[0] + "\"; this appcmd only lists.",
         ToolFailure::kUsage);
  }
  if (words.size() < 2) Fail("Object type expected.", ToolFailure::kUsage);
  const Arguments arguments = Parse(std::vector<std::string>(words.begin() + 2, words.end()));
  const AppcmdObjectType* type = quaver_machine::FindAppcmdObjectType(words[1]);
  if (type == nullptr && !apphost::EqualNoCaseUtf8(words[1], "config")) {
    Fail("Unknown object type \"" + words[1] + "\".", ToolFailure::kUsage);
  }
  quaver_machine::UseMachine();
  if (type == nullptr) return ListConfig(arguments);
  ListObjects(*type, arguments);
}

void AddAppcmdCommands(CLI::App& app) {
  CLI::App* appcmd = app.add_subcommand(
      "appcmd", "Print the IIS 7 and later configuration of the image, as appcmd.exe does");
  appcmd->footer(kUsage);
  appcmd->prefix_command();
  appcmd->fallthrough(false);
  appcmd->callback([appcmd] { Run(appcmd->remaining()); });
}

const bool registered = quaver_machine::RegisterCommands("appcmd", AddAppcmdCommands);

}  // namespace
