// Replaced by the portable launcher logic.
