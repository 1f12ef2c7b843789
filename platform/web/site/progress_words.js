// Progress for screen readers: the bar changes at every percent, the live
// region only at each quarter, so an update is announced a few times.
export const ANNOUNCE_EVERY = 25;

export function progressAnnouncer(region, texts) {
  let said = 0;
  return (position) => {
    if (position < said) said = 0;  // a new update
    const step = Math.floor(position / ANNOUNCE_EVERY) * ANNOUNCE_EVERY;
    if (step > said) { said = step; region.textContent = texts.progressAt(step); }
  };
}
