// What the page did, in one visible line that is also the live region: a message stays
// until the next one. The problem count has a live region of its own, so a check never
// covers a message.

const $ = (id) => document.getElementById(id);

export function announce(text) {
  const line = $('status');
  line.textContent = '';
  // A new node each time: screen readers announce a repeated text too.
  requestAnimationFrame(() => { line.textContent = text; });
}

let lastCount = null;
export function announceProblems(count) {
  if (count === lastCount) return;
  lastCount = count;
  $('problems-live').textContent = count === null ? '' : count === 1 ? '1 problem' : `${count} problems`;
}
