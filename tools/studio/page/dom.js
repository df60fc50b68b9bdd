// What every module of the page needs: its elements by ID, the server's
// addresses with the token the page was opened with, and the message bar.

const token = new URLSearchParams(location.search).get('token') || '';
export const withToken = (path) =>
  path + (path.includes('?') ? '&' : '?') + 'token=' + encodeURIComponent(token);

export const $ = (id) => document.getElementById(id);

export function showError(text) {
  const box = $('message');
  box.textContent = text;
  box.hidden = false;
}

export function clearError() {
  $('message').hidden = true;
}

// The message and conflict bars lie over the foot of the window: the page
// gets as much room beneath its last controls, so that none stays hidden
// under a bar, while nothing on the page moves when one shows.
function makeRoomForBars() {
  let room = 0;
  for (const id of ['message', 'conflict']) {
    const bar = $(id);
    if (bar && !bar.hidden) room = Math.max(room, innerHeight - bar.getBoundingClientRect().top);
  }
  document.body.style.paddingBottom = room > 0 ? Math.ceil(room) + 'px' : '';
}
const barWatch = new MutationObserver(makeRoomForBars);
for (const id of ['message', 'conflict']) {
  if ($(id)) barWatch.observe($(id), { attributes: true, childList: true, subtree: true });
}
window.addEventListener('resize', makeRoomForBars);
