// A decorator over any host: every call the conversion makes on a host
// object is logged, in order, with its arguments and result, and then
// forwarded. A hook sees each call before it is forwarded and may raise, to
// stand in for a failing host operation.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "adapter/HostInterfaces.h"
#include "host/HostJson.h"

namespace orv::refhost {

class CallLog {
public:
    // Each logged call: {"call": NAME, arguments..., "result": ...}; a call
    // that raised also carries "error": {"number", "description"}.
    std::deque<Json> calls;  // a deque: entries stay put while later calls are added
    std::function<void(const Json& call)> beforeForward;

    // Names of the calls in order, for quick checks.
    std::vector<std::string> Names() const;
};

// Wraps a factory: the objects it creates are recording too.
class RecordingFactory : public host::IHostFactory {
public:
    RecordingFactory(host::IHostFactory& inner, CallLog& log) : inner_(inner), log_(log) {}
    std::shared_ptr<host::ICatalogueSource> CreateCatalogueSource() override;
    std::shared_ptr<host::IFunctionSetObject> CreateFunctionSetObject() override;
    std::shared_ptr<host::ITempFileWriter> CreateTempFileWriter() override;
    std::shared_ptr<host::IModel> CreateModel() override;
    std::shared_ptr<host::IXmlDocument> CreateXmlDocument() override;

private:
    host::IHostFactory& inner_;
    CallLog& log_;
};

// Wraps a target run; the objects it hands out are recording too.
std::shared_ptr<host::ITargetRun> RecordingRun(std::shared_ptr<host::ITargetRun> inner, CallLog& log);

}  // namespace orv::refhost
