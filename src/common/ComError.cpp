#include "common/ComError.h"

#include <new>
#include <stdexcept>
#include <utility>

namespace orv {

ComError::ComError(std::int32_t number, std::string source, std::string description)
    : number_(number), source_(std::move(source)), description_(std::move(description)) {}

ComError ComError::Overflow() { return {err::kOverflow, "", "Overflow"}; }
ComError ComError::OutOfMemory() { return {err::kOutOfMemory, "", "Out of memory"}; }
ComError ComError::SubscriptOutOfRange() { return {err::kSubscriptOutOfRange, "", "Subscript out of range"}; }
ComError ComError::TypeMismatch() { return {err::kTypeMismatch, "", "Type mismatch"}; }
ComError ComError::FileNotFound() { return {err::kFileNotFound, "", "File not found"}; }
ComError ComError::InputPastEndOfFile() { return {err::kInputPastEndOfFile, "", "Input past end of file"}; }

void RethrowAsComError() {
    try {
        throw;
    } catch (const ComError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ComError::OutOfMemory();
    } catch (const std::length_error&) {
        throw ComError::OutOfMemory();
    } catch (const std::out_of_range&) {
        throw ComError::SubscriptOutOfRange();
    } catch (const std::overflow_error&) {
        throw ComError::Overflow();
    } catch (const std::exception& e) {
        // Anything else is a fault of ours; keep its text so it can be reported.
        throw ComError(51, "", std::string("Internal error: ") + e.what());
    } catch (...) {
        throw ComError(51, "", "Internal error");
    }
}

}  // namespace orv
