#include "Report.h"

#include "CommandLine.h"

#include "devlink/include/devlink_ids.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace qtx::cli
{

namespace
{
    using Json = nlohmann::ordered_json;

    const char* outcomeOf (const std::string& action, int status)
    {
        switch (status)
        {
            case exitComplete:
                return action == "list" ? "listed" : action == "check" ? "update-due" : "updated";
            case exitUsage:
                return "usage";
            case exitBadPackage:
                return "bad-package";
            case exitNoController:
                return "no-controller";
            case exitLibraryInUse:
                return "library-in-use";
            case exitNotConfirmed:
                return "not-confirmed";
            case exitUpToDate:
                return "up-to-date";
            case exitInterrupted:
                return "interrupted";
            default:
                return "failed";
        }
    }

    Json versionFields (Json object, int version, bool known)
    {
        object["version"] = known ? Json (versionNumberText (version)) : Json();
        object["versionNumber"] = known ? Json (version) : Json();
        return object;
    }

    Json orNull (const std::string& text)
    {
        return text.empty() ? Json() : Json (text);
    }
} // namespace

std::string versionNumberText (int version)
{
    char text[32];
    std::snprintf (text, sizeof (text), "%d.%02d", version / 100, version % 100);
    return text;
}

int Report::finish (int status, std::string why)
{
    exitStatus = status;
    reason = std::move (why);
    return status;
}

std::string Report::toJson() const
{
    Json document;
    document["action"] = orNull (action);
    document["exitStatus"] = exitStatus;
    document["outcome"] = outcomeOf (action, exitStatus);
    document["reason"] = reason;
    document["controller"] =
        controllerFound ? versionFields ({{"model", "QTX-ORB9"}}, controllerVersion, controllerVersion > 0)
                        : Json();
    document["package"] = packagePath.empty()
                              ? Json()
                              : versionFields ({{"path", packagePath}}, packageVersion, packageVersion >= 0);
    document["decision"] = orNull (decision);
    document["blocks"] = Json::array();
    for (const auto& block : blocks)
    {
        char tag[8];
        std::snprintf (tag, sizeof (tag), "%04X", (unsigned) block.tag);
        document["blocks"].push_back (
            {{"number", block.number}, {"tag", tag}, {"length", block.length}, {"crc16", block.crc16}});
    }
    document["devices"] = Json::array();
    for (const auto& device : devices)
        document["devices"].push_back (
            versionFields ({{"number", device.number},
                            {"type", device.type},
                            {"model", device.type == DEVLINK_CONTROLLER_TYPE ? Json ("QTX-ORB9") : Json()}},
                           device.version, device.version > 0));
    return document.dump (2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace qtx::cli
