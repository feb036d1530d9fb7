// What the studio's browser suites read of the page, as window.studio: the editor, the
// sound, the session's state and figures, and whether the engines have caught up. The
// page itself never reads it.
import * as session from './session.js';

export function exposeForSuites(view, tracks) {
  window.studio = {
    view, tracks, stats: session.stats, output: session.output, state: session.state, score: session.score,
    engines: [session.sound, session.checker], ready: true, editableAt: performance.now(),
    idle: () => session.sound.idle() && session.checker.idle(),
  };
}
