// The page reads the recorders' messages by names it holds in one table
// (js/event_text.js); the recorder holds its own (journal/journal_events.h,
// the engine's balance names). A name one side has and the other lacks is an
// event the page would show by its bare name, or one it waits for in vain.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';
import { createRequire } from 'node:module';
import { journalNamesPath } from './rig.mjs';

const { EVENT, BALANCE_TEXT } = createRequire(import.meta.url)('../js/event_text.js');
const skip = !existsSync(journalNamesPath) && 'no journal_names in the build: scripts/site-tests.sh builds it';

test("the page names the journal's events and the balance's values as the recorder does", { skip }, () => {
  const recorder = JSON.parse(execFileSync(journalNamesPath, { encoding: 'utf8' }));
  assert.deepEqual(Object.values(EVENT).sort(), [...recorder.events].sort());
  assert.deepEqual(Object.keys(BALANCE_TEXT).sort(), [...recorder.balance].sort());
});
