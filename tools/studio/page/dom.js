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
