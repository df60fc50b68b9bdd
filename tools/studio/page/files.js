// ---- Files: new, open, save and reload, and hearing every change -------------
import { $, withToken, showError, clearError } from './dom.js';
import { state, request, send, update, take, inTurn, accepted, refused } from './studio.js';

$('new-scene').addEventListener('click', () => {
  if (state && state.unsaved && !confirm('Discard the unsaved changes?')) return;
  request('/api/scene/new', {});
});
function openScene() {
  if (state && state.unsaved && !confirm('Discard the unsaved changes?')) return;
  request('/api/scene/open', { file: $('scene-file').value });
}
$('open-scene').addEventListener('click', openScene);
// Enter in the file field opens the file it names; the form goes nowhere.
$('file-bar').addEventListener('submit', (event) => {
  event.preventDefault();
  openScene();
});
export function hideConflict() {
  $('conflict').hidden = true;
}

/// Saves to `file` ('' : the open file). A scene that exists is replaced
/// only once the user has said yes; a file changed on disk since it was
/// read offers the ways on.
async function save(file, options = {}) {
  if (!file && !(state && state.file)) {
    // A new scene: Save asks for a name, as Save As does.
    showError('Type a name for the scene into the file field, then press Save.');
    $('scene-file').focus();
    return;
  }
  const answer = await inTurn(() =>
    send('/api/scene/save', Object.assign({ file, revision: state.revision }, options)));
  if (!answer) return;
  if (answer.ok) {
    hideConflict();
    accepted(answer);
    return;
  }
  const { reply } = answer;
  if (reply.conflict === 'exists') {
    if (confirm(reply.error.replace(/^not saved: /, '') + '. Replace it?')) {
      save(file, Object.assign({}, options, { replace: true }));
    } else {
      refused(answer);
    }
  } else if (reply.conflict === 'changed' || reply.conflict === 'deleted') {
    clearError();
    $('conflict-text').textContent = reply.error + '.';
    // A deleted file has nothing to reload: Save recreates it.
    const deleted = reply.conflict === 'deleted';
    $('conflict-reload').hidden = deleted;
    $('conflict-anyway').textContent = deleted ? 'Save (create it again)' : 'Save anyway';
    $('conflict').hidden = false;
    update(state);
  } else {
    refused(answer);
  }
}

// The field's name, unless it is the open file's as shown: a name that is
// not UTF-8 shows otherwise than it is.
const chosenName = () => {
  const typed = $('scene-file').value;
  return state && state.file && typed === state.file ? '' : typed;
};
$('save-scene').addEventListener('click', () => save(state && state.file ? '' : chosenName()));
$('save-scene-as').addEventListener('click', () => save(chosenName()));
$('conflict-reload').addEventListener('click', async () => {
  if (await request('/api/scene/reload', {})) hideConflict();
});
$('conflict-anyway').addEventListener('click', () => save('', { anyway: true }));
$('conflict-rename').addEventListener('click', () => {
  hideConflict();
  showError('Type another name into the file field and press Save As.');
  $('scene-file').select();
  $('scene-file').focus();
});
/// The state as the server has it now, unless a later one has come meanwhile.
async function refreshState() {
  const response = await fetch(withToken('/api/state')).catch(() => null);
  const s = response && response.ok ? await response.json().catch(() => null) : null;
  if (s && state && s.serial >= state.serial) update(s);
}

// Coming back to the page: has the open file changed meanwhile?
window.addEventListener('focus', refreshState);

// Every change, whichever tab made it, comes with the whole state down the
// tab's WebSocket, which spends none of the six connections a browser keeps
// to the studio: any number of tabs leave them to the requests. A socket
// taken up again may have missed some changes: the state is asked for
// whenever it opens.
const RECONNECT_MS = 1000;
// While changes stream in (another tab's drag), a tab takes in the newest
// state at most this often: redrawing the panel for every step in every tab
// would slow the drag itself.
const HEARD_EVERY_MS = 100;
let heardState = null;
let heardTimer = null;
let heardAt = -Infinity;

function heard(s) {
  heardState = s;
  if (heardTimer !== null) return;
  heardTimer = setTimeout(() => {
    heardTimer = null;
    heardAt = performance.now();
    const newest = heardState;
    heardState = null;
    take(newest, { heard: true });
  }, Math.max(0, heardAt + HEARD_EVERY_MS - performance.now()));
}

export function listen() {
  const address = new URL(withToken('/api/events'), location.href);
  address.protocol = 'ws:';
  const socket = new WebSocket(address);
  socket.addEventListener('message', (event) => {
    let s = null;
    try {
      s = JSON.parse(event.data);
    } catch (error) {
      return;
    }
    heard(s);
  });
  socket.addEventListener('open', refreshState);
  socket.addEventListener('close', () => setTimeout(listen, RECONNECT_MS));
}
window.addEventListener('beforeunload', (event) => {
  if (state && state.unsaved) {
    event.preventDefault();
    event.returnValue = '';
  }
});
