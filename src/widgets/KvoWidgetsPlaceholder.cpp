// replaced by the toolkit widgets
