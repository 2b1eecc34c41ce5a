// Windows on GTK 3: an undecorated GtkWindow holding a GtkFixed. The handler paints the fixed;
// buttons and text lines are drawing areas in it that paint the handler's surface under
// themselves before their own picture or text.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/Window.h"

namespace platform {

namespace {

// GTK calls us from C: whatever a handler throws ends here instead of unwinding through GTK.
template <typename F>
void Guarded(F&& call) noexcept {
    try {
        call();
    } catch (...) {
        g_warning("an exception left a window callback");
    }
}

class WindowGtk;

// What reaches the handler from the main loop, in the order it was queued.
struct Queued {
    enum class Kind { kMessage, kClose, kCommand };
    Kind kind = Kind::kMessage;
    uint32_t message = 0;
    uint64_t wparam = 0;
    int64_t lparam = 0;
};

// Shared by a window and its pending idle callback, which can outlive the window: the window
// unhooks itself when it goes, and the callback then finds nothing to deliver to.
struct PostQueue {
    std::mutex mutex;
    std::deque<Queued> items;
    bool scheduled = false;
    guint source = 0;             // the idle source draining the queue while scheduled
    WindowGtk* window = nullptr;  // set and cleared on the main loop's thread only
};

// Sources of one window that must stop when it goes.
struct TimerRecord {
    WindowGtk* window;
    uint32_t id;
};

struct ModalRun {
    GMainLoop* loop = nullptr;
    int32_t result = 0;
    bool ended = false;
};

void DisconnectAll(gpointer instance, gpointer data) {
    g_signal_handlers_disconnect_matched(instance, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                         data);
}

// Id, bounds and visibility, the same for every child.
template <typename Base>
class ChildGtk : public Base {
public:
    ChildGtk(WindowGtk& owner, int32_t id, Rect bounds, GtkWidget* widget);
    ~ChildGtk() override { DisconnectAll(widget_, this); }
    ChildGtk(const ChildGtk&) = delete;
    ChildGtk& operator=(const ChildGtk&) = delete;

    int32_t Id() const override { return id_; }
    void SetBounds(Rect bounds) override;
    Rect Bounds() const override { return bounds_; }
    void SetVisible(bool visible) override { gtk_widget_set_visible(widget_, visible); }
    bool IsVisible() const override { return gtk_widget_get_visible(widget_) != FALSE; }
    void Invalidate() override { gtk_widget_queue_draw(widget_); }

    GtkWidget* Widget() const { return widget_; }

protected:
    WindowGtk& owner_;
    int32_t id_;
    Rect bounds_;
    GtkWidget* widget_;
};

class PictureButtonGtk;
class TextLineGtk;

class WindowGtk : public Window {
public:
    WindowGtk(WindowHandler& handler, const WindowOptions& options);
    ~WindowGtk() override;
    WindowGtk(const WindowGtk&) = delete;
    WindowGtk& operator=(const WindowGtk&) = delete;

    void SetTitle(const std::string& ansiTitle) override;
    std::string Title() const override { return title_; }
    void SetBounds(Rect bounds) override;
    Rect Bounds() const override { return bounds_; }
    void CenterOnScreen() override;

    void Show() override { gtk_widget_show(window_); }
    void Hide() override { gtk_widget_hide(window_); }
    void Minimise() override { gtk_window_iconify(GTK_WINDOW(window_)); }
    void Restore() override {
        gtk_window_deiconify(GTK_WINDOW(window_));
        gtk_window_present(GTK_WINDOW(window_));
    }
    bool IsVisible() const override { return gtk_widget_get_visible(window_) != FALSE; }
    bool IsMinimised() const override { return minimised_; }
    void SetTopmost() override { gtk_window_set_keep_above(GTK_WINDOW(window_), TRUE); }
    void Invalidate() override { gtk_widget_queue_draw(window_); }

    void BeginDrag() override;

    bool Post(uint32_t message, uint64_t wparam, int64_t lparam) override;
    void PostClose() override { Enqueue(Queued{Queued::Kind::kClose, 0, 0, 0}); }

    void SetTimer(uint32_t id, uint32_t periodMs) override;
    void KillTimer(uint32_t id) override;

    int32_t RunModal() override;
    void EndModal(int32_t result) override;
    bool ModalEnded() const;

    PictureButton* AddButton(int32_t id, Rect bounds) override;
    TextLine* AddTextLine(int32_t id, Rect bounds) override;
    HostedControl* AddHostedControl(int32_t id, Rect bounds) override;
    TextEntry* AddTextEntry(int32_t id, Rect bounds) override;

    void* NativeHandle() const override { return window_; }

    // For the children.
    GtkWidget* Fixed() const { return fixed_; }
    // Paints the window's surface under a child, in the child's own coordinates.
    void PaintSurfaceUnder(cairo_t* cr, Rect childBounds);
    void PostCommand(int32_t id) { Enqueue(Queued{Queued::Kind::kCommand, 0, 0, id}); }

private:
    // Makes a child of the window and keeps it with the others.
    template <typename Child, typename Interface>
    Interface* Add(int32_t id, Rect bounds);
    bool Enqueue(const Queued& item);
    static gboolean DispatchQueue(gpointer data);
    static void ReleaseQueue(gpointer data);
    void Deliver(const Queued& item);

    static gboolean OnTimerTick(gpointer data);
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self);
    static gboolean OnDragMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
    static gboolean OnDragRelease(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);

    WindowHandler& handler_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    std::string title_;
    Rect bounds_;
    // What the handler last heard through OnMoved/OnResized.
    Rect reported_;
    bool minimised_ = false;
    // The press being handled, for BeginDrag; null outside OnLeftButtonDown.
    const GdkEventButton* press_ = nullptr;
    // A move by the mouse in progress: where the pointer and the window were at the press.
    // The window follows the pointer itself, so dragging works with or without a window
    // manager (the press's implicit grab brings every motion here until the release).
    struct Drag {
        double pointerX = 0;
        double pointerY = 0;
        int32_t windowX = 0;
        int32_t windowY = 0;
    };
    std::optional<Drag> drag_;
    std::shared_ptr<PostQueue> queue_;
    std::map<uint32_t, guint> timers_;
    std::shared_ptr<ModalRun> modal_;
    // Lets code that called the handler learn whether the handler destroyed the window.
    std::shared_ptr<bool> alive_;
    std::vector<std::unique_ptr<Control>> children_;
};

template <typename Base>
ChildGtk<Base>::ChildGtk(WindowGtk& owner, int32_t id, Rect bounds, GtkWidget* widget)
    : owner_(owner), id_(id), bounds_(bounds), widget_(widget) {
    gtk_widget_set_size_request(widget_, std::max(bounds.width, 0), std::max(bounds.height, 0));
    gtk_fixed_put(GTK_FIXED(owner_.Fixed()), widget_, bounds.x, bounds.y);
    gtk_widget_show(widget_);
}

template <typename Base>
void ChildGtk<Base>::SetBounds(Rect bounds) {
    bounds_ = bounds;
    gtk_widget_set_size_request(widget_, std::max(bounds.width, 0), std::max(bounds.height, 0));
    gtk_fixed_move(GTK_FIXED(owner_.Fixed()), widget_, bounds.x, bounds.y);
    gtk_widget_queue_draw(widget_);
}

class PictureButtonGtk : public ChildGtk<PictureButton> {
public:
    PictureButtonGtk(WindowGtk& owner, int32_t id, Rect bounds)
        : ChildGtk(owner, id, bounds, gtk_drawing_area_new()) {
        gtk_widget_add_events(widget_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                           GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK);
        g_signal_connect(widget_, "draw", G_CALLBACK(OnDraw), this);
        g_signal_connect(widget_, "button-press-event", G_CALLBACK(OnPress), this);
        g_signal_connect(widget_, "button-release-event", G_CALLBACK(OnRelease), this);
        g_signal_connect(widget_, "enter-notify-event", G_CALLBACK(OnCrossing), this);
        g_signal_connect(widget_, "leave-notify-event", G_CALLBACK(OnCrossing), this);
    }

    void SetPicture(Image strip, ButtonFrames frames, bool magentaTransparent) override {
        frames_ = frames;
        picture_ = std::move(strip);
        if (magentaTransparent && !picture_.Empty()) {
            // Once here rather than at every paint: magenta becomes fully transparent.
            std::vector<Argb> pixels(static_cast<size_t>(picture_.Width()) * picture_.Height());
            for (int32_t y = 0; y < picture_.Height(); ++y) {
                for (int32_t x = 0; x < picture_.Width(); ++x) {
                    const Argb p = picture_.PixelAt(x, y);
                    pixels[static_cast<size_t>(y) * picture_.Width() + x] =
                        p == MakeRgb(255, 0, 255) ? 0 : p;
                }
            }
            Image clear;
            clear.Assign(picture_.Width(), picture_.Height(), pixels.data());
            picture_ = std::move(clear);
        }
        Invalidate();
    }
    void SetEnabled(bool enabled) override {
        enabled_ = enabled;
        if (!enabled) {
            pressed_ = false;
            hover_ = false;
        }
        Invalidate();
    }
    bool IsEnabled() const override { return enabled_; }

private:
    int32_t CurrentFrame() const {
        if (!enabled_) {
            return frames_.disabled;
        }
        if (pressed_ && hover_) {
            return frames_.pressed;
        }
        return hover_ || pressed_ ? frames_.hover : frames_.normal;
    }

    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<PictureButtonGtk*>(data);
        Guarded([&] {
            self->owner_.PaintSurfaceUnder(cr, self->bounds_);
            const Image& strip = self->picture_;
            const int32_t count = self->frames_.count;
            if (strip.Empty() || count <= 0 || strip.Width() / count <= 0) {
                return;
            }
            int32_t frame = self->CurrentFrame();
            if (frame < 0 || frame >= count) {
                frame = self->frames_.normal >= 0 && self->frames_.normal < count
                            ? self->frames_.normal
                            : 0;
            }
            const int32_t frameWidth = strip.Width() / count;
            Canvas canvas(cr);
            canvas.DrawImage(strip, Rect{0, 0, self->bounds_.width, self->bounds_.height},
                             Rect{frame * frameWidth, 0, frameWidth, strip.Height()});
        });
        return FALSE;
    }

    static gboolean OnPress(GtkWidget*, GdkEventButton* event, gpointer data) {
        auto* self = static_cast<PictureButtonGtk*>(data);
        if (event->type == GDK_BUTTON_PRESS && event->button == 1 && self->enabled_) {
            self->pressed_ = true;
            self->hover_ = true;
            self->Invalidate();
        }
        return TRUE;
    }

    static gboolean OnRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
        auto* self = static_cast<PictureButtonGtk*>(data);
        if (event->button != 1 || !self->pressed_) {
            return TRUE;
        }
        self->pressed_ = false;
        const bool inside = event->x >= 0 && event->y >= 0 && event->x < self->bounds_.width &&
                            event->y < self->bounds_.height;
        self->hover_ = inside;
        self->Invalidate();
        if (inside && self->enabled_) {
            // Queued, so the handler runs once the button's own events are done with it.
            self->owner_.PostCommand(self->id_);
        }
        return TRUE;
    }

    static gboolean OnCrossing(GtkWidget*, GdkEventCrossing* event, gpointer data) {
        auto* self = static_cast<PictureButtonGtk*>(data);
        const bool hover = event->type == GDK_ENTER_NOTIFY && self->enabled_;
        if (hover != self->hover_) {
            self->hover_ = hover;
            self->Invalidate();
        }
        return FALSE;
    }

    Image picture_;
    ButtonFrames frames_;
    bool enabled_ = true;
    bool hover_ = false;
    bool pressed_ = false;
};

class TextLineGtk : public ChildGtk<TextLine> {
public:
    TextLineGtk(WindowGtk& owner, int32_t id, Rect bounds)
        : ChildGtk(owner, id, bounds, gtk_drawing_area_new()) {
        // No button events selected: a press on the text goes to the window's surface, so a
        // title line still drags its window.
        g_signal_connect(widget_, "draw", G_CALLBACK(OnDraw), this);
    }

    void SetText(const std::string& ansiText) override {
        text_ = ansiText;
        utf8_ = AnsiToUtf8(ansiText);
        Invalidate();
    }
    std::string Text() const override { return text_; }
    void SetColour(Argb colour) override {
        colour_ = colour;
        Invalidate();
    }

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        auto* self = static_cast<TextLineGtk*>(data);
        Guarded([&] {
            self->owner_.PaintSurfaceUnder(cr, self->bounds_);
            if (self->utf8_.empty()) {
                return;
            }
            PangoLayout* layout = pango_cairo_create_layout(cr);
            PangoFontDescription* font =
                pango_font_description_from_string("Noto Sans CJK SC,Sans 9");
            pango_layout_set_font_description(layout, font);
            pango_font_description_free(font);
            pango_layout_set_single_paragraph_mode(layout, TRUE);
            pango_layout_set_text(layout, self->utf8_.c_str(), -1);
            cairo_save(cr);
            cairo_rectangle(cr, 0, 0, self->bounds_.width, self->bounds_.height);
            cairo_clip(cr);
            cairo_set_source_rgb(cr, RedOf(self->colour_) / 255.0, GreenOf(self->colour_) / 255.0,
                                 BlueOf(self->colour_) / 255.0);
            cairo_move_to(cr, 0, 0);
            pango_cairo_show_layout(cr, layout);
            cairo_restore(cr);
            g_object_unref(layout);
        });
        return FALSE;
    }

    std::string text_;
    std::string utf8_;
    Argb colour_ = MakeRgb(0, 0, 0);
};

class HostedControlGtk : public ChildGtk<HostedControl> {
public:
    // An event box without a window of its own: a bin, so its one child fills the bounds.
    HostedControlGtk(WindowGtk& owner, int32_t id, Rect bounds)
        : ChildGtk(owner, id, bounds, MakeContainer()) {}

    void* NativeParent() const override { return widget_; }

private:
    static GtkWidget* MakeContainer() {
        GtkWidget* box = gtk_event_box_new();
        gtk_event_box_set_visible_window(GTK_EVENT_BOX(box), FALSE);
        return box;
    }
};

class TextEntryGtk : public ChildGtk<TextEntry> {
public:
    TextEntryGtk(WindowGtk& owner, int32_t id, Rect bounds)
        : ChildGtk(owner, id, bounds, gtk_entry_new()) {
        gtk_entry_set_has_frame(GTK_ENTRY(widget_), TRUE);
        g_signal_connect(widget_, "activate", G_CALLBACK(OnActivate), this);
    }

    std::string Text() const override { return Utf8ToAnsi(gtk_entry_get_text(GTK_ENTRY(widget_))); }
    void SetText(const std::string& ansiText) override {
        gtk_entry_set_text(GTK_ENTRY(widget_), AnsiToUtf8(ansiText).c_str());
    }
    void Focus() override { gtk_widget_grab_focus(widget_); }

private:
    // Enter in the field: the command comes after the key, through the window's queue.
    static void OnActivate(GtkEntry*, gpointer self) {
        auto* entry = static_cast<TextEntryGtk*>(self);
        entry->owner_.PostCommand(entry->id_);
    }
};

WindowGtk::WindowGtk(WindowHandler& handler, const WindowOptions& options)
    : handler_(handler),
      window_(gtk_window_new(GTK_WINDOW_TOPLEVEL)),
      fixed_(gtk_fixed_new()),
      title_(options.title),
      bounds_{0, 0, options.width, options.height},
      reported_(bounds_),
      queue_(std::make_shared<PostQueue>()),
      alive_(std::make_shared<bool>(true)) {
    queue_->window = this;
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_window_set_decorated(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_title(window, AnsiToUtf8(options.title).c_str());
    gtk_window_set_skip_taskbar_hint(window, !options.taskbar);
    gtk_window_set_skip_pager_hint(window, !options.taskbar);
    if (options.owner != nullptr) {
        gtk_window_set_transient_for(window, GTK_WINDOW(options.owner->NativeHandle()));
    }
    if (!options.iconPath.empty()) {
        const std::string icon = ResolvePathCase(AnsiToUtf8(options.iconPath));
        GError* error = nullptr;
        if (!gtk_window_set_icon_from_file(window, icon.c_str(), &error) && error != nullptr) {
            g_error_free(error);
        }
    }
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    gtk_widget_show(fixed_);
    gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                       GDK_BUTTON1_MOTION_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(fixed_, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(window_, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(window_, "motion-notify-event", G_CALLBACK(OnDragMotion), this);
    g_signal_connect(window_, "button-release-event", G_CALLBACK(OnDragRelease), this);
    g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
    SetBounds(bounds_);
}

WindowGtk::~WindowGtk() {
    *alive_ = false;
    guint drain = 0;
    {
        std::lock_guard<std::mutex> lock(queue_->mutex);
        queue_->window = nullptr;
        queue_->items.clear();
        drain = std::exchange(queue_->source, 0);
        queue_->scheduled = false;
    }
    // The source's code may belong to a plug-in that is unloaded right after this window: it
    // must not run later. (From inside its own run, GLib ends it once that run returns.)
    if (drain != 0) {
        g_source_remove(drain);
    }
    for (const auto& [id, source] : timers_) {
        g_source_remove(source);
    }
    if (modal_) {
        g_main_loop_quit(modal_->loop);
    }
    children_.clear();
    DisconnectAll(fixed_, this);
    DisconnectAll(window_, this);
    gtk_widget_destroy(window_);
}

void WindowGtk::SetTitle(const std::string& ansiTitle) {
    title_ = ansiTitle;
    gtk_window_set_title(GTK_WINDOW(window_), AnsiToUtf8(ansiTitle).c_str());
}

void WindowGtk::SetBounds(Rect bounds) {
    bounds.width = std::max(bounds.width, 1);
    bounds.height = std::max(bounds.height, 1);
    bounds_ = bounds;
    // The request fixes the size of a window the user may not resize; resize applies it at
    // once to a window already shown.
    gtk_widget_set_size_request(window_, bounds.width, bounds.height);
    gtk_window_resize(GTK_WINDOW(window_), bounds.width, bounds.height);
    gtk_window_move(GTK_WINDOW(window_), bounds.x, bounds.y);
}

void WindowGtk::CenterOnScreen() {
    const Rect screen = ScreenBounds();
    SetBounds(Rect{screen.x + (screen.width - bounds_.width) / 2,
                   screen.y + (screen.height - bounds_.height) / 2, bounds_.width, bounds_.height});
}

void WindowGtk::BeginDrag() {
    if (press_ != nullptr) {
        gint x = 0;
        gint y = 0;
        gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
        drag_ = Drag{press_->x_root, press_->y_root, x, y};
    }
}

gboolean WindowGtk::OnDragMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    if (!window->drag_ || (event->state & GDK_BUTTON1_MASK) == 0) {
        return FALSE;
    }
    const Drag& drag = *window->drag_;
    const auto x = drag.windowX + static_cast<int32_t>(event->x_root - drag.pointerX);
    const auto y = drag.windowY + static_cast<int32_t>(event->y_root - drag.pointerY);
    gtk_window_move(GTK_WINDOW(window->window_), x, y);
    return TRUE;
}

gboolean WindowGtk::OnDragRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    if (!window->drag_ || event->button != 1) {
        return FALSE;
    }
    window->drag_.reset();
    return TRUE;
}

bool WindowGtk::Post(uint32_t message, uint64_t wparam, int64_t lparam) {
    return Enqueue(Queued{Queued::Kind::kMessage, message, wparam, lparam});
}

bool WindowGtk::Enqueue(const Queued& item) {
    std::lock_guard<std::mutex> lock(queue_->mutex);
    if (queue_->window == nullptr) {
        return false;
    }
    queue_->items.push_back(item);
    if (!queue_->scheduled) {
        // One idle source drains the queue, so the order holds whatever thread posts.
        queue_->scheduled = true;
        queue_->source = g_idle_add_full(G_PRIORITY_DEFAULT, DispatchQueue,
                                         new std::shared_ptr<PostQueue>(queue_), ReleaseQueue);
    }
    return true;
}

void WindowGtk::ReleaseQueue(gpointer data) {
    delete static_cast<std::shared_ptr<PostQueue>*>(data);
}

gboolean WindowGtk::DispatchQueue(gpointer data) {
    PostQueue& queue = **static_cast<std::shared_ptr<PostQueue>*>(data);
    // Only what was queued before this turn: a flood of posts still lets painting and input in.
    size_t budget = 0;
    {
        std::lock_guard<std::mutex> lock(queue.mutex);
        budget = queue.items.size();
    }
    for (; budget > 0; --budget) {
        Queued item;
        WindowGtk* window = nullptr;
        {
            std::lock_guard<std::mutex> lock(queue.mutex);
            if (queue.window == nullptr || queue.items.empty()) {
                break;
            }
            item = queue.items.front();
            queue.items.pop_front();
            window = queue.window;
        }
        // May destroy the window; the queue then has no window and the loop stops.
        window->Deliver(item);
        // As on Windows, what is still queued once a modal run has been ended waits for the
        // next loop that runs: a second close in the same turn must not act again.
        if (queue.window == window && window->ModalEnded()) {
            break;
        }
    }
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (queue.window != nullptr && !queue.items.empty()) {
        return G_SOURCE_CONTINUE;
    }
    queue.scheduled = false;
    queue.source = 0;
    return G_SOURCE_REMOVE;
}

void WindowGtk::Deliver(const Queued& item) {
    Guarded([&] {
        switch (item.kind) {
            case Queued::Kind::kMessage:
                handler_.OnPosted(item.message, item.wparam, item.lparam);
                break;
            case Queued::Kind::kClose:
                handler_.OnClose();
                break;
            case Queued::Kind::kCommand:
                handler_.OnCommand(static_cast<int32_t>(item.lparam));
                break;
        }
    });
}

void WindowGtk::SetTimer(uint32_t id, uint32_t periodMs) {
    KillTimer(id);
    timers_[id] =
        g_timeout_add_full(G_PRIORITY_DEFAULT, periodMs, OnTimerTick, new TimerRecord{this, id},
                           [](gpointer record) { delete static_cast<TimerRecord*>(record); });
}

void WindowGtk::KillTimer(uint32_t id) {
    auto found = timers_.find(id);
    if (found != timers_.end()) {
        g_source_remove(found->second);
        timers_.erase(found);
    }
}

gboolean WindowGtk::OnTimerTick(gpointer data) {
    // The record stays valid for this call even if the handler kills the timer or destroys the
    // window: GLib holds the callback data until the dispatch returns.
    const TimerRecord& record = *static_cast<TimerRecord*>(data);
    Guarded([&] { record.window->handler_.OnTimer(record.id); });
    return G_SOURCE_CONTINUE;
}

int32_t WindowGtk::RunModal() {
    if (modal_) {
        return 0;  // already running its loop further up the stack
    }
    auto run = std::make_shared<ModalRun>();
    run->loop = g_main_loop_new(nullptr, FALSE);
    modal_ = run;
    const std::shared_ptr<bool> alive = alive_;
    // No GTK modality: it would grab every input from the program's other windows (the
    // settings window and the chat live beside the main window and take their own clicks).
    Show();
    g_main_loop_run(run->loop);
    g_main_loop_unref(run->loop);
    if (*alive) {
        modal_.reset();
    }
    return run->result;
}

bool WindowGtk::ModalEnded() const {
    return modal_ && modal_->ended;
}

void WindowGtk::EndModal(int32_t result) {
    if (modal_) {
        modal_->result = result;
        modal_->ended = true;
        g_main_loop_quit(modal_->loop);
    }
}

template <typename Child, typename Interface>
Interface* WindowGtk::Add(int32_t id, Rect bounds) {
    auto child = std::make_unique<Child>(*this, id, bounds);
    Interface* result = child.get();
    children_.push_back(std::move(child));
    return result;
}

PictureButton* WindowGtk::AddButton(int32_t id, Rect bounds) {
    return Add<PictureButtonGtk, PictureButton>(id, bounds);
}

TextLine* WindowGtk::AddTextLine(int32_t id, Rect bounds) {
    return Add<TextLineGtk, TextLine>(id, bounds);
}

TextEntry* WindowGtk::AddTextEntry(int32_t id, Rect bounds) {
    return Add<TextEntryGtk, TextEntry>(id, bounds);
}

HostedControl* WindowGtk::AddHostedControl(int32_t id, Rect bounds) {
    return Add<HostedControlGtk, HostedControl>(id, bounds);
}

void WindowGtk::PaintSurfaceUnder(cairo_t* cr, Rect childBounds) {
    cairo_save(cr);
    cairo_translate(cr, -childBounds.x, -childBounds.y);
    Canvas canvas(cr);
    handler_.OnPaint(canvas);
    cairo_restore(cr);
}

gboolean WindowGtk::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    Guarded([&] {
        Canvas canvas(cr);
        window->handler_.OnPaint(canvas);
    });
    return FALSE;  // the fixed's own handler then draws the children
}

gboolean WindowGtk::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    // Presses that a child's own window did not take arrive here from that window; only the
    // window's surface counts.
    if (event->type != GDK_BUTTON_PRESS || event->button != 1 ||
        event->window != gtk_widget_get_window(window->window_)) {
        return FALSE;
    }
    const std::shared_ptr<bool> alive = window->alive_;
    window->press_ = event;
    Guarded([&] {
        window->handler_.OnLeftButtonDown(static_cast<int32_t>(event->x),
                                          static_cast<int32_t>(event->y));
    });
    if (*alive) {
        window->press_ = nullptr;
    }
    return TRUE;
}

gboolean WindowGtk::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    const Rect now{event->x, event->y, event->width, event->height};
    window->bounds_ = now;
    const Rect before = window->reported_;
    window->reported_ = now;
    const std::shared_ptr<bool> alive = window->alive_;
    Guarded([&] {
        if (now.x != before.x || now.y != before.y) {
            window->handler_.OnMoved(now.x, now.y);
        }
        if (*alive && (now.width != before.width || now.height != before.height)) {
            window->handler_.OnResized(now.width, now.height);
        }
    });
    return FALSE;
}

gboolean WindowGtk::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    Guarded([&] { window->handler_.OnClose(); });
    return TRUE;  // the handler decides whether the window goes
}

gboolean WindowGtk::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    Key key = Key::kOther;
    switch (event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            key = Key::kEnter;
            break;
        case GDK_KEY_Escape:
            key = Key::kEscape;
            break;
        case GDK_KEY_space:
        case GDK_KEY_KP_Space:
            key = Key::kSpace;
            break;
        default:
            break;
    }
    bool swallowed = false;
    Guarded([&] { swallowed = window->handler_.OnKeyDown(key); });
    return swallowed ? TRUE : FALSE;
}

gboolean WindowGtk::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
    auto* window = static_cast<WindowGtk*>(self);
    if ((event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0) {
        window->minimised_ = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
        const bool minimised = window->minimised_;
        Guarded([&] { window->handler_.OnMinimisedChanged(minimised); });
    }
    return FALSE;
}

GtkMessageType MessageType(MessageIconKind icon) {
    switch (icon) {
        case MessageIconKind::kInformation:
            return GTK_MESSAGE_INFO;
        case MessageIconKind::kWarning:
            return GTK_MESSAGE_WARNING;
        case MessageIconKind::kError:
            return GTK_MESSAGE_ERROR;
        case MessageIconKind::kNone:
            break;
    }
    return GTK_MESSAGE_OTHER;
}

}  // namespace

std::unique_ptr<Window> Window::Create(WindowHandler& handler, const WindowOptions& options) {
    if (!InitWindowing()) {
        return nullptr;
    }
    return std::make_unique<WindowGtk>(handler, options);
}

void ShowMessageBox(Window* owner, const std::string& text, const std::string& caption,
                    MessageIconKind icon) {
    if (!InitWindowing()) {
        return;
    }
    GtkWindow* parent = owner != nullptr ? GTK_WINDOW(owner->NativeHandle()) : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, MessageType(icon),
                                               GTK_BUTTONS_OK, "%s", AnsiToUtf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(dialog), AnsiToUtf8(caption).c_str());
    gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
}

bool DispatchUiMessage(bool wait) {
    // Windows, timers and posted messages all come through the default main context. A waiting
    // pass may wake without dispatching anything (another thread posted): GTK has no quit
    // message, so a wait never reports one.
    return g_main_context_iteration(nullptr, wait ? TRUE : FALSE) != FALSE || wait;
}

Rect ScreenBounds() {
    if (!InitWindowing()) {
        return {};
    }
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) {
        monitor = gdk_display_get_monitor(display, 0);
    }
    if (monitor == nullptr) {
        return {};
    }
    GdkRectangle area{};
    gdk_monitor_get_geometry(monitor, &area);
    return Rect{area.x, area.y, area.width, area.height};
}

bool InitWindowing() {
    // GTK initialises once per process; the answer stays what it was the first time.
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = gtk_init_check(nullptr, nullptr) != FALSE; });
    return ready;
}

}  // namespace platform
