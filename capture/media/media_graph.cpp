#include "capture/media/media_graph.h"

#include <gst/gst.h>

#include <atomic>
#include <cstdio>
#include <cstring>

namespace orvanta::media {

struct Graph::PendingLink {
  Graph* graph;
  MediaKind kind;
  GstElement* source;
  GstElement* intermediate;
  GstElement* sink;
  std::atomic<bool> done{false};
  gulong handler = 0;
};

namespace {

std::string_view StructureName(const GstCaps* caps) {
  if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps)) return {};
  return gst_structure_get_name(gst_caps_get_structure(caps, 0));
}

GstCaps* PadCaps(GstPad* pad) {
  GstCaps* caps = gst_pad_get_current_caps(pad);
  return caps ? caps : gst_pad_query_caps(pad, nullptr);
}

bool KindMatches(PadKind pad_kind, MediaKind kind) {
  if (pad_kind == PadKind::Unknown) return true;
  if (kind == MediaKind::Audio) return pad_kind == PadKind::Audio;
  return pad_kind == PadKind::Video;
}

bool IsTee(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  return factory && std::strcmp(GST_OBJECT_NAME(factory), "tee") == 0;
}

// Elements with more than one output push to all of them from one thread, so each output
// gets its own queue (a tee does the same).
bool NeedsQueue(GstElement* element) {
  if (IsTee(element)) return true;
  int outputs = 0;
  for (const GList* l = gst_element_class_get_pad_template_list(GST_ELEMENT_GET_CLASS(element)); l;
       l = l->next) {
    auto* templ = static_cast<GstPadTemplate*>(l->data);
    if (GST_PAD_TEMPLATE_DIRECTION(templ) == GST_PAD_SRC) ++outputs;
  }
  return outputs >= 2;
}

GstPadTemplate* TemplateFor(GstElement* element, GstPadDirection direction, GstPadPresence presence,
                            MediaKind kind) {
  for (const GList* l = gst_element_class_get_pad_template_list(GST_ELEMENT_GET_CLASS(element)); l;
       l = l->next) {
    auto* templ = static_cast<GstPadTemplate*>(l->data);
    if (GST_PAD_TEMPLATE_DIRECTION(templ) != direction ||
        GST_PAD_TEMPLATE_PRESENCE(templ) != presence)
      continue;
    GstCaps* caps = gst_pad_template_get_caps(templ);
    std::string_view name = StructureName(caps);
    // Network streams say what they carry only on the pad itself.
    if (name == "application/x-rtp" || name == "application/x-rdt") name = {};
    PadKind pk = name.empty()                                               ? PadKind::Unknown
                 : name.starts_with("video/") || name.starts_with("image/") ? PadKind::Video
                 : name.starts_with("audio/")                               ? PadKind::Audio
                                                                            : PadKind::Other;
    // A template listing several kinds (a multiplexer's) is checked structure by structure.
    bool match = KindMatches(pk, kind);
    for (guint i = 0; !match && caps && i < gst_caps_get_size(caps); ++i) {
      std::string_view n = gst_structure_get_name(gst_caps_get_structure(caps, i));
      match = kind == MediaKind::Audio ? n.starts_with("audio/") : n.starts_with("video/");
    }
    gst_caps_unref(caps);
    if (match) return templ;
  }
  return nullptr;
}

// First unlinked pad of the direction and kind (new reference), or null.
GstPad* FreePad(GstElement* element, GstPadDirection direction, MediaKind kind) {
  GstPad* found = nullptr;
  GList* pads = direction == GST_PAD_SRC ? element->srcpads : element->sinkpads;
  GST_OBJECT_LOCK(element);
  for (GList* l = pads; l && !found; l = l->next) {
    auto* pad = GST_PAD(l->data);
    if (!gst_pad_is_linked(pad)) found = GST_PAD(gst_object_ref(pad));
  }
  GST_OBJECT_UNLOCK(element);
  if (found && !KindMatches(KindOfPad(found), kind)) {
    // The first free pad is of another kind: look at all of them.
    gst_object_unref(found);
    found = nullptr;
    GST_OBJECT_LOCK(element);
    std::vector<GstPad*> candidates;
    for (GList* l = pads; l; l = l->next)
      if (!gst_pad_is_linked(GST_PAD(l->data)))
        candidates.push_back(GST_PAD(gst_object_ref(l->data)));
    GST_OBJECT_UNLOCK(element);
    for (GstPad* pad : candidates) {
      if (!found && KindMatches(KindOfPad(pad), kind))
        found = pad;
      else
        gst_object_unref(pad);
    }
  }
  return found;
}

// Whether the pad belongs to an element with no inputs (a source).
bool IsSource(GstPad* pad) {
  GstElement* element = gst_pad_get_parent_element(pad);
  if (!element) return true;
  const bool source = element->numsinkpads == 0;
  gst_object_unref(element);
  return source;
}

bool IsRequestPad(GstPad* pad) {
  GstPadTemplate* templ = gst_pad_get_pad_template(pad);
  bool request = templ && GST_PAD_TEMPLATE_PRESENCE(templ) == GST_PAD_REQUEST;
  if (templ) gst_object_unref(templ);
  return request;
}

void ReleaseIfRequest(GstPad* pad) {
  if (!pad || !IsRequestPad(pad)) return;
  GstElement* parent = gst_pad_get_parent_element(pad);
  if (parent) {
    gst_element_release_request_pad(parent, pad);
    gst_object_unref(parent);
  }
}

}  // namespace

PadKind KindOfPad(GstPad* pad) {
  GstCaps* caps = PadCaps(pad);
  std::string_view name = StructureName(caps);
  PadKind kind = PadKind::Unknown;
  if (name.empty()) {
    kind = PadKind::Unknown;
  } else if (name.starts_with("video/") || name.starts_with("image/")) {
    kind = PadKind::Video;
  } else if (name.starts_with("audio/")) {
    kind = PadKind::Audio;
  } else if (name == "application/x-rtp") {
    const char* media = gst_structure_get_string(gst_caps_get_structure(caps, 0), "media");
    kind = media && std::strcmp(media, "audio") == 0   ? PadKind::Audio
           : media && std::strcmp(media, "video") == 0 ? PadKind::Video
                                                       : PadKind::Other;
  } else {
    kind = PadKind::Other;
  }
  if (caps) gst_caps_unref(caps);
  return kind;
}

bool IsRawPad(GstPad* pad) {
  GstCaps* caps = PadCaps(pad);
  bool raw = caps && !gst_caps_is_any(caps) && !gst_caps_is_empty(caps);
  for (guint i = 0; raw && i < gst_caps_get_size(caps); ++i) {
    std::string_view n = gst_structure_get_name(gst_caps_get_structure(caps, i));
    raw = n == "video/x-raw" || n == "audio/x-raw";
  }
  if (caps) gst_caps_unref(caps);
  return raw;
}

Result ResultFromError(const GError* error) {
  if (!error) return kFail;
  if (error->domain == GST_STREAM_ERROR) {
    if (error->code == GST_STREAM_ERROR_NOT_IMPLEMENTED || error->code == GST_STREAM_ERROR_FORMAT ||
        error->code == GST_STREAM_ERROR_WRONG_TYPE)
      return kTypeNotAccepted;
    if (error->code == GST_STREAM_ERROR_CODEC_NOT_FOUND ||
        error->code == GST_STREAM_ERROR_TYPE_NOT_FOUND)
      return kCannotRender;
  }
  if (error->domain == GST_CORE_ERROR && error->code == GST_CORE_ERROR_NEGOTIATION)
    return kTypeNotAccepted;
  if (error->domain == GST_RESOURCE_ERROR) {
    if (error->code == GST_RESOURCE_ERROR_NOT_FOUND) return kFileNotFound;
    if (error->code == GST_RESOURCE_ERROR_NOT_AUTHORIZED ||
        error->code == GST_RESOURCE_ERROR_OPEN_READ_WRITE ||
        error->code == GST_RESOURCE_ERROR_OPEN_WRITE)
      return kAccessDenied;
    if (error->code == GST_RESOURCE_ERROR_NO_SPACE_LEFT) return kDiskFull;
  }
  return kFail;
}

Graph::Graph() {
  pipeline_ = gst_pipeline_new(nullptr);
  gst_object_ref_sink(pipeline_);
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, &Graph::OnBusMessage, this, nullptr);
  gst_object_unref(bus);
}

Graph::~Graph() {
  gst_element_set_state(pipeline_, GST_STATE_NULL);
  for (auto& link : pending_) {
    if (link->handler) g_signal_handler_disconnect(link->source, link->handler);
    gst_object_unref(link->source);
    if (link->intermediate) gst_object_unref(link->intermediate);
    gst_object_unref(link->sink);
  }
  GstBus* bus = gst_element_get_bus(pipeline_);
  gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
  gst_object_unref(bus);
  gst_object_unref(pipeline_);
}

Result Graph::AddFilter(GstElement* element, const std::string& label) {
  if (!element) return kInvalidArg;
  if (g_object_is_floating(element)) gst_object_ref_sink(element);
  gst_object_set_name(GST_OBJECT(element), label.c_str());
  // The bin takes its own reference; the caller keeps the one it had.
  return gst_bin_add(GST_BIN(pipeline_), element) ? kOk : kFail;
}

Result Graph::RemoveFilter(GstElement* element) {
  if (!element) return kInvalidArg;
  gst_object_ref(element);
  gst_element_set_locked_state(element, TRUE);
  gst_element_set_state(element, GST_STATE_NULL);
  std::vector<GstPad*> pads;
  GST_OBJECT_LOCK(element);
  for (GList* l = element->pads; l; l = l->next) pads.push_back(GST_PAD(gst_object_ref(l->data)));
  GST_OBJECT_UNLOCK(element);
  for (GstPad* pad : pads) {
    Disconnect(pad);
    gst_object_unref(pad);
  }
  bool ok = gst_bin_remove(GST_BIN(pipeline_), element);
  gst_object_unref(element);
  return ok ? kOk : kFail;
}

GstElement* Graph::FindFilter(const std::string& label) const {
  GstElement* element = gst_bin_get_by_name(GST_BIN(pipeline_), label.c_str());
  if (element) gst_object_unref(element);  // the bin still holds it
  return element;
}

Result Graph::Disconnect(GstPad* pad) {
  GstPad* peer = gst_pad_get_peer(pad);
  if (!peer) return kFalse;
  if (GST_PAD_IS_SRC(pad))
    gst_pad_unlink(pad, peer);
  else
    gst_pad_unlink(peer, pad);
  ReleaseIfRequest(peer);
  ReleaseIfRequest(pad);
  gst_object_unref(peer);
  return kOk;
}

void Graph::RemoveFrom(GstElement* element, std::vector<GstElement*>& removed) {
  for (GstElement* e : removed)
    if (e == element) return;
  std::vector<GstElement*> next;
  GST_OBJECT_LOCK(element);
  for (GList* l = element->srcpads; l; l = l->next) {
    GstPad* peer = gst_pad_get_peer(GST_PAD(l->data));
    if (peer) {
      GstElement* e = gst_pad_get_parent_element(peer);
      if (e) next.push_back(e);
      gst_object_unref(peer);
    }
  }
  GST_OBJECT_UNLOCK(element);
  for (GstElement* e : next) {
    RemoveFrom(e, removed);
    gst_object_unref(e);
  }
  removed.push_back(element);
  RemoveFilter(element);
}

void Graph::RemoveDownstream(const std::vector<GstPad*>& outputs) {
  std::vector<GstElement*> removed;
  for (GstPad* out : outputs) {
    GstPad* peer = out ? gst_pad_get_peer(out) : nullptr;
    if (!peer) continue;
    GstElement* next = gst_pad_get_parent_element(peer);
    if (next) {
      RemoveFrom(next, removed);
      gst_object_unref(next);
    }
    gst_object_unref(peer);
  }
}

bool Graph::RemoveChainTo(GstPad* output, GstElement* target) {
  std::vector<GstElement*> chain;
  bool to_target = false;
  GstPad* pad = GST_PAD(gst_object_ref(output));
  while (pad && chain.size() < 8) {
    GstPad* peer = gst_pad_get_peer(pad);
    gst_object_unref(pad);
    pad = nullptr;
    GstElement* next = peer ? gst_pad_get_parent_element(peer) : nullptr;
    if (peer) gst_object_unref(peer);
    if (!next) break;
    if (next == target) {
      to_target = true;
      gst_object_unref(next);
      break;
    }
    chain.push_back(next);
    pad = gst_element_get_static_pad(next, "src");
  }
  if (pad) gst_object_unref(pad);
  if (to_target) {
    Disconnect(output);
    for (GstElement* helper : chain) RemoveFilter(helper);
  }
  for (GstElement* helper : chain) gst_object_unref(helper);
  return to_target;
}

void Graph::SendEndOfStream(GstPad* output) {
  GstPad* peer = gst_pad_get_peer(output);
  if (!peer) return;
  gst_pad_send_event(peer, gst_event_new_eos());
  gst_object_unref(peer);
}

void Graph::PassOnEndOfStream(GstPad* output) {
  GstEvent* eos = gst_pad_get_sticky_event(output, GST_EVENT_EOS, 0);
  if (!eos) return;
  GstPad* peer = gst_pad_get_peer(output);
  if (peer) {
    gst_pad_send_event(peer, eos);
    gst_object_unref(peer);
  } else {
    gst_event_unref(eos);
  }
}

Result Graph::RunAgain(GstElement* element) {
  gst_element_set_state(element, GST_STATE_PAUSED);
  return gst_element_set_state(element, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? kFail
                                                                                       : kOk;
}

void Graph::JoinRunningGraph(GstElement* element) {
  if (element) gst_element_sync_state_with_parent(element);
}

GstElement* Graph::AddHelper(const char* factory) {
  GstElement* element = gst_element_factory_make(factory, nullptr);
  if (!element) return nullptr;
  if (!gst_bin_add(GST_BIN(pipeline_), element)) return nullptr;
  gst_element_sync_state_with_parent(element);
  return element;
}

Result Graph::LinkRaw(GstPad* out, MediaKind kind, GstPad* in, bool convert) {
  GstCaps* out_caps = PadCaps(out);
  GstCaps* in_caps = gst_pad_query_caps(in, nullptr);
  bool meet = gst_caps_can_intersect(out_caps, in_caps);
  gst_caps_unref(out_caps);
  gst_caps_unref(in_caps);
  if (meet && !convert)
    return GST_PAD_LINK_SUCCESSFUL(gst_pad_link(out, in)) ? kOk : kCannotConnect;
  // Raw formats that do not meet get a converter (audio also a resampler).
  GstElement* first = AddHelper(kind == MediaKind::Audio ? "audioconvert" : "videoconvert");
  if (!first) return kCannotConnect;
  GstElement* last = first;
  if (kind == MediaKind::Audio) {
    last = AddHelper("audioresample");
    if (!last || !gst_element_link(first, last)) return kCannotConnect;
  }
  GstPad* conv_in = gst_element_get_static_pad(first, "sink");
  GstPad* conv_out = gst_element_get_static_pad(last, "src");
  bool ok = GST_PAD_LINK_SUCCESSFUL(gst_pad_link(out, conv_in)) &&
            GST_PAD_LINK_SUCCESSFUL(gst_pad_link(conv_out, in));
  gst_object_unref(conv_in);
  gst_object_unref(conv_out);
  return ok ? kOk : kCannotConnect;
}

Result Graph::Connect(GstPad* output, GstPad* input) {
  if (!output || !input) return kInvalidArg;
  MediaKind kind = KindOfPad(input) == PadKind::Audio || KindOfPad(output) == PadKind::Audio
                       ? MediaKind::Audio
                       : MediaKind::Video;
  if (KindOfPad(output) == PadKind::Unknown && KindOfPad(input) != PadKind::Unknown &&
      !IsRawPad(input)) {
    // Bytes of a file into a decoder: the container is taken apart first.
    GstElement* parser = AddHelper("parsebin");
    if (!parser) return kCannotConnect;
    GstPad* parser_in = gst_element_get_static_pad(parser, "sink");
    bool ok = GST_PAD_LINK_SUCCESSFUL(gst_pad_link(output, parser_in));
    gst_object_unref(parser_in);
    if (!ok) return kCannotConnect;
    GstElement* target = gst_pad_get_parent_element(input);
    Result r = RenderStream(PinCategory::None, kind, parser, nullptr, target);
    gst_object_unref(target);
    return r;
  }
  if (IsRawPad(output) || !IsRawPad(input)) return LinkRaw(output, kind, input, false);
  if (KindOfPad(output) == PadKind::Unknown && !IsSource(output)) {
    // A stream not yet known, coming through a tee or a queue, is raw already (only sources
    // give encoded bytes): a converter adapts it when it arrives.
    return LinkRaw(output, kind, input, true);
  }
  // An encoded stream into a raw input: decode first, join when the decoded pad appears.
  GstElement* decoder = AddHelper("decodebin");
  if (!decoder) return kCannotConnect;
  GstPad* dec_in = gst_element_get_static_pad(decoder, "sink");
  bool ok = GST_PAD_LINK_SUCCESSFUL(gst_pad_link(output, dec_in));
  gst_object_unref(dec_in);
  if (!ok) return kCannotConnect;
  GstElement* target = gst_pad_get_parent_element(input);
  Result r = RenderStream(PinCategory::None, kind, decoder, nullptr, target);
  gst_object_unref(target);
  return r;
}

Result Graph::LinkToElement(GstPad* out, MediaKind kind, GstElement* target) {
  GstPad* in = FreePad(target, GST_PAD_SINK, kind);
  if (!in) {
    GstPadTemplate* templ = TemplateFor(target, GST_PAD_SINK, GST_PAD_REQUEST, kind);
    if (templ) in = gst_element_request_pad(target, templ, nullptr, nullptr);
  }
  if (!in) return kCannotConnect;
  Result r = Connect(out, in);
  if (Failed(r)) ReleaseIfRequest(in);
  gst_object_unref(in);
  return r;
}

Result Graph::LinkChain(GstPad* out, MediaKind kind, GstElement* intermediate, GstElement* sink,
                        bool queue_first) {
  GstPad* cur = GST_PAD(gst_object_ref(out));
  if (queue_first) {
    GstElement* queue = AddHelper("queue");
    if (!queue) {
      gst_object_unref(cur);
      return kCannotConnect;
    }
    GstPad* qin = gst_element_get_static_pad(queue, "sink");
    bool ok = GST_PAD_LINK_SUCCESSFUL(gst_pad_link(cur, qin));
    gst_object_unref(qin);
    gst_object_unref(cur);
    if (!ok) return kCannotConnect;
    cur = gst_element_get_static_pad(queue, "src");
  }
  Result r;
  if (intermediate) {
    r = LinkToElement(cur, kind, intermediate);
    if (Succeeded(r)) r = RenderStream(PinCategory::None, kind, intermediate, nullptr, sink);
  } else {
    r = LinkToElement(cur, kind, sink);
  }
  if (Failed(r) && queue_first) {
    // Leave the output free for the caller's next attempt.
    GstElement* queue = gst_pad_get_parent_element(cur);
    if (queue) {
      RemoveFilter(queue);
      gst_object_unref(queue);
    }
  }
  gst_object_unref(cur);
  return r;
}

Result Graph::RenderStream(PinCategory, MediaKind kind, GstElement* source,
                           GstElement* intermediate, GstElement* sink) {
  if (!source || !sink) return kInvalidArg;
  bool queue_first = NeedsQueue(source);
  GstPad* out = FreePad(source, GST_PAD_SRC, kind);
  if (!out) {
    GstPadTemplate* templ = TemplateFor(source, GST_PAD_SRC, GST_PAD_REQUEST, kind);
    if (templ) out = gst_element_request_pad(source, templ, nullptr, nullptr);
  }
  if (out) {
    Result r = LinkChain(out, kind, intermediate, sink, queue_first);
    if (Failed(r)) ReleaseIfRequest(out);
    gst_object_unref(out);
    return r;
  }
  if (!TemplateFor(source, GST_PAD_SRC, GST_PAD_SOMETIMES, kind)) return kCannotRender;
  // The output appears once the stream is known: join it then.
  auto link = std::make_unique<PendingLink>();
  link->graph = this;
  link->kind = kind;
  link->source = GST_ELEMENT(gst_object_ref(source));
  link->intermediate = intermediate ? GST_ELEMENT(gst_object_ref(intermediate)) : nullptr;
  link->sink = GST_ELEMENT(gst_object_ref(sink));
  link->handler = g_signal_connect(source, "pad-added", G_CALLBACK(&Graph::OnPadAdded), link.get());
  std::lock_guard lock(mutex_);
  pending_.push_back(std::move(link));
  return kOk;
}

void Graph::OnPadAdded(GstElement*, GstPad* pad, gpointer data) {
  auto* link = static_cast<PendingLink*>(data);
  if (link->done.load() || !GST_PAD_IS_SRC(pad) || gst_pad_is_linked(pad)) return;
  if (!KindMatches(KindOfPad(pad), link->kind)) return;
  if (link->done.exchange(true)) return;
  Result r = link->graph->LinkChain(pad, link->kind, link->intermediate, link->sink, false);
  if (Failed(r)) {
    gchar* name = gst_object_get_path_string(GST_OBJECT(pad));
    link->graph->QueueEvent({kEventErrorAbort, r, std::string("cannot join ") + name});
    g_free(name);
  }
}

GstPad* Graph::FindPin(GstElement* element, PinDirection direction, PinCategory, MediaKind kind,
                       int index) {
  if (!element) return nullptr;
  std::vector<GstPad*> pads;
  GST_OBJECT_LOCK(element);
  for (GList* l = direction == PinDirection::Output ? element->srcpads : element->sinkpads; l;
       l = l->next)
    pads.push_back(GST_PAD(gst_object_ref(l->data)));
  GST_OBJECT_UNLOCK(element);
  GstPad* found = nullptr;
  for (GstPad* pad : pads) {
    if (!found && KindMatches(KindOfPad(pad), kind) && index-- == 0)
      found = pad;
    else
      gst_object_unref(pad);
  }
  return found;
}

Result Graph::SetOutputFileName(const std::string& path, GstElement** mux, GstElement** writer) {
  GstElement* m = gst_element_factory_make("avimux", "AVI Mux");
  GstElement* w = gst_element_factory_make("filesink", "File writer");
  if (!m || !w) {
    if (m) gst_object_unref(m);
    if (w) gst_object_unref(w);
    return kCannotRender;
  }
  // The writer opens the file when the graph runs; check now that it can be made.
  FILE* probe = std::fopen(path.c_str(), "wb");
  if (!probe) {
    gst_object_unref(gst_object_ref_sink(m));
    gst_object_unref(gst_object_ref_sink(w));
    return kAccessDenied;
  }
  std::fclose(probe);
  // The writer must not hold up the graph's start while no clip is being written.
  g_object_set(w, "location", path.c_str(), "async", FALSE, "sync", FALSE, nullptr);
  if (!gst_bin_add(GST_BIN(pipeline_), m)) return kFail;
  if (!gst_bin_add(GST_BIN(pipeline_), w)) return kFail;
  if (!gst_element_link(m, w)) return kCannotConnect;
  *mux = m;
  *writer = w;
  return kOk;
}

Result Graph::Run() {
  {
    std::lock_guard lock(mutex_);
    last_error_ = kOk;
    last_error_text_.clear();
  }
  GstStateChangeReturn r = gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  if (r != GST_STATE_CHANGE_FAILURE) return kOk;
  std::lock_guard lock(mutex_);
  return last_error_ != kOk ? last_error_ : kFail;
}

Result Graph::Stop() {
  GstStateChangeReturn r = gst_element_set_state(pipeline_, GST_STATE_NULL);
  return r == GST_STATE_CHANGE_FAILURE ? kFail : kOk;
}

void Graph::SetNotify(std::function<void()> notify) {
  std::lock_guard lock(mutex_);
  notify_ = std::move(notify);
}

void Graph::SetElementMessageHandler(
    std::function<void(GstElement*, const GstStructure*)> handler) {
  std::lock_guard lock(mutex_);
  element_handler_ = std::move(handler);
}

bool Graph::GetEvent(GraphEvent* event) {
  std::lock_guard lock(mutex_);
  if (events_.empty()) return false;
  *event = std::move(events_.front());
  events_.pop_front();
  return true;
}

void Graph::QueueEvent(GraphEvent event) {
  std::function<void()> notify;
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    notify = notify_;
  }
  if (notify) notify();
}

std::string Graph::last_error_text() const {
  std::lock_guard lock(mutex_);
  return last_error_text_;
}

Result Graph::last_error() const {
  std::lock_guard lock(mutex_);
  return last_error_;
}

GstBusSyncReply Graph::OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
  static_cast<Graph*>(self)->HandleMessage(message);
  // A dropped message is the handler's to free: every clip's end message carries copies
  // of the maps and the snapshot, and a night's worth of them would otherwise pile up.
  gst_message_unref(message);
  return GST_BUS_DROP;
}

void Graph::HandleMessage(GstMessage* message) {
  switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
      QueueEvent({kEventComplete, kOk, ""});
      break;
    case GST_MESSAGE_ERROR: {
      GError* error = nullptr;
      gchar* debug = nullptr;
      gst_message_parse_error(message, &error, &debug);
      Result r = ResultFromError(error);
      gchar* source = gst_object_get_path_string(GST_MESSAGE_SRC(message));
      std::string text = std::string(source ? source : "") + ": " + (error ? error->message : "");
      g_free(source);
      {
        std::lock_guard lock(mutex_);
        if (last_error_ == kOk) {
          last_error_ = r;
          last_error_text_ = text;
        }
      }
      QueueEvent({kEventErrorAbort, r, text});
      if (error) g_error_free(error);
      g_free(debug);
      break;
    }
    case GST_MESSAGE_ELEMENT: {
      std::function<void(GstElement*, const GstStructure*)> handler;
      {
        std::lock_guard lock(mutex_);
        handler = element_handler_;
      }
      const GstStructure* s = gst_message_get_structure(message);
      if (handler && s && GST_IS_ELEMENT(GST_MESSAGE_SRC(message)))
        handler(GST_ELEMENT(GST_MESSAGE_SRC(message)), s);
      break;
    }
    default:
      break;
  }
}

}  // namespace orvanta::media
