#pragma once
// The browser box: an embedded web view on a persistent profile whose cookies flow both ways
// with the internet client's process-wide cookie store, so a login made in the browser box is
// carried by the program's own downloads, and cookies those downloads receive reach the browser.

class QString;
class QWidget;

namespace tavelin {

/// A browser box showing `address`, child of `parent`.
QWidget* make_browser_box(QWidget* parent, const QString& address);
/// Sends the browser box to the address.
void browse_to(QWidget* browser_box, const QString& address);
/// Releases the shared profile after the last browser box is gone; its cookies are saved.
void release_browser_profile();

} // namespace tavelin
