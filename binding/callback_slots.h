// The two slots the host fills through the exports: its HTTP callback, and
// the handler that media commands go to (the engine's own unless the host
// sets another).
#ifndef KXR_BINDING_CALLBACK_SLOTS_H
#define KXR_BINDING_CALLBACK_SLOTS_H

#include <cstdint>

#include "kxr/httpd2.h"

namespace kxr {

using HttpCallbackFn = KxrHttpCallback;
using MediaCmdHandlerFn = KxrMediaCmdHandler;

HttpCallbackFn HttpCallback();
void SetHttpCallback(HttpCallbackFn callback);
MediaCmdHandlerFn MediaCmdHandler();
// Null puts the engine's own media command back.
void SetMediaCmdHandler(MediaCmdHandlerFn handler);
// Sends a record through the media-command slot.
int32_t RunMediaCmd(int32_t channel, MediaCmd* record);

} // namespace kxr

#endif
