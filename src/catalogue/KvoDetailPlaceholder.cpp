// replaced by the software detail page
